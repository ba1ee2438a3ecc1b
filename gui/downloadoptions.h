#pragma once
// The Other page's options for downloads: what an error does, what happens
// to a file that exists or whose content exists, the size rule, whether
// missing folders are asked about, and what the program finds out before
// and after a download.

#include <QCoreApplication>

class QBoxLayout;
class QCheckBox;
class QGroupBox;
class QLineEdit;
class QRadioButton;
class QWidget;

namespace pm {

class ErrorReporter;
class Settings;

class DownloadOptions {
    Q_DECLARE_TR_FUNCTIONS(pm::DownloadOptions)
public:
    DownloadOptions(ErrorReporter& errors, QWidget* parent);

    void load(const Settings& settings);
    // A minimum size that is no number is reported under the Apply routine;
    // the size stays as it was.
    void save(Settings& settings) const;
    bool askBeforeCreating() const;

    // Where the page places them.
    QGroupBox* errorGroup;
    QGroupBox* duplicateGroup;
    QBoxLayout* sizeRow;
    QCheckBox* askBeforeCreatingBox;
    QBoxLayout* knownColumn;
    QGroupBox* sameContentGroup;

private:
    ErrorReporter& m_errors;
    QRadioButton* m_abort;
    QRadioButton* m_resume;
    QRadioButton* m_prompt;
    QRadioButton* m_overwrite;
    QRadioButton* m_rename;
    QRadioButton* m_skip;
    QCheckBox* m_skipSmall;
    QLineEdit* m_minimumSize;
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
