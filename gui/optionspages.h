#pragma once
// The Output and Logging pages of the Options dialog: where downloads and
// the logs go.

#include "gui/settingspage.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace pm {

class ErrorReporter;
class FolderChooser;
class UserInteraction;

class OutputPage : public SettingsPage {
    Q_OBJECT
public:
    OutputPage(ErrorReporter& errors, UserInteraction& ui, QWidget* parent = nullptr);

    void load(const Settings& settings) override;
    void save(Settings& settings) const override;
    FolderChooser* folder() const { return m_folder; }

private:
    FolderChooser* m_folder;
    QSpinBox* m_parallel;
    QSpinBox* m_retries;
};

class LoggingPage : public SettingsPage {
    Q_OBJECT
public:
    LoggingPage(ErrorReporter& errors, UserInteraction& ui, QWidget* parent = nullptr);

    // A log file name without a folder is reported under the dialog's load
    // routine: the whole name goes into the name box.
    void load(const Settings& settings) override;
    void save(Settings& settings) const override;
    FolderChooser* folder() const { return m_folder; }
    QString logFileName() const;
    bool csvWanted() const;

private:
    ErrorReporter& m_errors;
    FolderChooser* m_folder;
    QLabel* m_fileNameLabel;
    QLineEdit* m_fileName;
    QCheckBox* m_logDownloads;
    QCheckBox* m_logCsv;
};

}  // namespace pm
