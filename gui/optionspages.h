#pragma once
// The three pages of the Options dialog. Each fills its controls from the
// settings (load) and writes them back (save); a failing field is reported
// under the dialog's Apply routine and the others are still written.

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSpinBox;

namespace pm {

class ErrorReporter;
class ErrorScope;
class FolderChooser;
class Settings;
class UserInteraction;

class OutputPage : public QWidget {
    Q_OBJECT
public:
    OutputPage(ErrorReporter& errors, UserInteraction& ui, QWidget* parent = nullptr);

    void load(const Settings& settings);
    // Returns false when a report aborted the save.
    bool save(Settings& settings, ErrorScope& scope) const;
    FolderChooser* folder() const { return m_folder; }

private:
    FolderChooser* m_folder;
    QSpinBox* m_parallel;
    QSpinBox* m_retries;
};

class LoggingPage : public QWidget {
    Q_OBJECT
public:
    LoggingPage(ErrorReporter& errors, UserInteraction& ui, QWidget* parent = nullptr);

    // A log file name without a folder is reported under `scope` (the
    // dialog's load routine): the whole name goes into the name box.
    void load(const Settings& settings, ErrorScope& scope);
    bool save(Settings& settings, ErrorScope& scope) const;
    FolderChooser* folder() const { return m_folder; }
    QString logFileName() const;
    bool csvWanted() const;

private:
    FolderChooser* m_folder;
    QLabel* m_fileNameLabel;
    QLineEdit* m_fileName;
    QCheckBox* m_logDownloads;
    QCheckBox* m_logCsv;
};

class OtherPage : public QWidget {
    Q_OBJECT
public:
    explicit OtherPage(QWidget* parent = nullptr);

    void load(const Settings& settings);
    bool save(Settings& settings, ErrorScope& scope) const;
    bool askBeforeCreating() const;

private:
    void historyToggled();

    QLineEdit* m_extensions;
    QRadioButton* m_abort;
    QRadioButton* m_resume;
    QRadioButton* m_prompt;
    QRadioButton* m_overwrite;
    QRadioButton* m_rename;
    QRadioButton* m_skip;
    QCheckBox* m_skipSmall;
    QLineEdit* m_minimumSize;
    QCheckBox* m_askBeforeCreating;
    QCheckBox* m_scanImages;
    QCheckBox* m_scanLinks;
    QCheckBox* m_historyOff;
    QRadioButton* m_lastPage;
    QRadioButton* m_homePage;
    QCheckBox* m_skipArchived;
    QCheckBox* m_probe;
    QRadioButton* m_keepBoth;
    QRadioButton* m_keepExisting;
};

// The size box's text for a number (plain digits, so it converts back to the
// same number), and the conversion Save performs (throws a RuntimeError for a
// text that is no number or too large).
QString minimumSizeText(float size);
float minimumSizeFromText(const QString& text);

}  // namespace pm
