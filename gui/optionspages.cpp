#include "gui/optionspages.h"

#include "core/diagnostics/errors.h"
#include "core/diagnostics/errorscope.h"
#include "core/config/settings.h"
#include "core/textutil.h"
#include "gui/folderchooser.h"

#include <QCheckBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

namespace pm {

OutputPage::OutputPage(ErrorReporter& errors, UserInteraction& ui, QWidget* parent) : SettingsPage(parent)
{
    QGroupBox* frame = framedPage(this, tr("Output"), "fraOutput");
    m_folder = new FolderChooser(tr("&Save path:"),
                                 {"lblPath", "txtPath", "DrivePath", "DirPath", "cmdNewFolder", "cmdNewFolderClick.",
                                  "cmdBrowsePath"},
                                 errors, ui, frame);
    m_parallel = named(new QSpinBox(frame), "spnParallel");
    m_parallel->setRange(1, 8);
    m_retries = named(new QSpinBox(frame), "spnRetries");
    m_retries->setRange(0, 10);
    auto* parallelLabel = named(new QLabel(tr("Si&multaneous downloads:"), frame), "lblParallel");
    parallelLabel->setBuddy(m_parallel);
    auto* retriesLabel = named(new QLabel(tr("&Retries after a failure that may pass:"), frame), "lblRetries");
    retriesLabel->setBuddy(m_retries);

    auto* numbers = new QGridLayout;
    numbers->addWidget(parallelLabel, 0, 0);
    numbers->addWidget(m_parallel, 0, 1);
    numbers->addWidget(retriesLabel, 1, 0);
    numbers->addWidget(m_retries, 1, 1);
    numbers->setColumnStretch(2, 1);
    auto* layout = new QVBoxLayout(frame);
    layout->addWidget(m_folder, 1);
    layout->addLayout(numbers);
}

void OutputPage::load(const Settings& settings)
{
    m_folder->setPath(settings.outputFolder);
    m_parallel->setValue(settings.parallelDownloads);
    m_retries->setValue(settings.retries);
}

void OutputPage::save(Settings& settings) const
{
    settings.outputFolder = m_folder->path();
    settings.parallelDownloads = m_parallel->value();
    settings.retries = m_retries->value();
}

LoggingPage::LoggingPage(ErrorReporter& errors, UserInteraction& ui, QWidget* parent)
    : SettingsPage(parent), m_errors(errors)
{
    QGroupBox* frame = framedPage(this, tr("Log option"), "fraLog");
    m_folder = new FolderChooser(tr("&Log path:"),
                                 {"lblLog", "txtLogPath", "DriveLog", "DirLog", "cmdNewLogPath", "cmdnewlogpathclick.",
                                  "cmdBrowseLog"},
                                 errors, ui, frame);
    m_fileNameLabel = named(new QLabel(tr("Log &File Name:"), frame), "lblLogFileName");
    m_fileName = named(new QLineEdit(frame), "txtLogFileName");
    m_fileNameLabel->setBuddy(m_fileName);
    m_logDownloads = named(new QCheckBox(tr("Log each file &downloaded"), frame), "chkLogDnlds");
    m_logCsv = named(new QCheckBox(tr("Log File download statistics to a &CSV file"), frame), "chkLogCSV");

    auto* layout = new QVBoxLayout(frame);
    layout->addWidget(m_folder, 1);
    layout->addWidget(m_fileNameLabel);
    layout->addWidget(m_fileName);
    layout->addWidget(m_logDownloads);
    layout->addWidget(m_logCsv);
}

void LoggingPage::load(const Settings& settings)
{
    ErrorScope scope(m_errors, QStringLiteral("frmoptions.FormLoad."));
    const QString& logFile = settings.activityLogFile;
    if (logFile.isEmpty()) {
        m_folder->setPath(QString());
        m_fileName->setText(QStringLiteral("Pullmark.log"));
    } else if (!logFile.contains(QDir::separator())) {
        // A hand-edited name without a folder names no drive either: both
        // steps report, and the whole name goes into the name box.
        m_folder->setPath(QString());
        m_fileName->setText(logFile);
        if (!scope.report(RuntimeError::of(ErrBadFileName, logFile)))
            return;
        scope.report(RuntimeError::of(ErrBadFileName, logFile));
    } else {
        const PathParts parts = splitPath(logFile);
        const bool onDrive = m_folder->setPath(parts.folder);
        m_fileName->setText(parts.fileName);
        if (!onDrive && !scope.report(RuntimeError::of(ErrBadFileName, logFile)))
            return;
    }
    setTicked(m_logDownloads, settings.logDownloads);
    setTicked(m_logCsv, settings.logCsv);
}

void LoggingPage::save(Settings& settings) const
{
    settings.activityLogFile = m_folder->path() + QDir::separator() + m_fileName->text();
    settings.logDownloads = isTicked(m_logDownloads);
    settings.logCsv = isTicked(m_logCsv);
}

QString LoggingPage::logFileName() const
{
    return m_fileName->text();
}

bool LoggingPage::csvWanted() const
{
    return isTicked(m_logCsv);
}

}  // namespace pm
