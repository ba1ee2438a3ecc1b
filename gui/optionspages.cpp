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
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cfloat>
#include <cmath>

namespace pm {

namespace {
template <typename T>
T* named(T* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

bool ticked(const QCheckBox* box)
{
    return box->checkState() != Qt::Unchecked;
}

void setTicked(QCheckBox* box, bool on)
{
    box->setCheckState(on ? Qt::Checked : Qt::Unchecked);
}

// Selects `which` among `group` (nullptr: none of them).
void selectOption(const QList<QRadioButton*>& group, QRadioButton* which)
{
    for (QRadioButton* b : group) {
        b->setAutoExclusive(false);
        b->setChecked(b == which);
        b->setAutoExclusive(true);
    }
}

// A group box with its options stacked.
QGroupBox* optionGroup(const QString& title, const char* name, const QList<QRadioButton*>& options, QWidget* parent)
{
    auto* group = named(new QGroupBox(title, parent), name);
    auto* layout = new QVBoxLayout(group);
    for (QRadioButton* option : options) {
        option->setParent(group);
        layout->addWidget(option);
    }
    return group;
}

// The page's contents inside one framed group.
QGroupBox* framedPage(QWidget* page, const QString& title, const char* name)
{
    auto* frame = named(new QGroupBox(title, page), name);
    (new QVBoxLayout(page))->addWidget(frame);
    return frame;
}
}  // namespace

QString minimumSizeText(float size)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    const double value = size;
    if (std::isfinite(value) && value == std::floor(value) && std::fabs(value) < 1e15)
        return locale.toString(qint64(value));
    return locale.toString(value, 'g', 7);
}

float minimumSizeFromText(const QString& text)
{
    const std::optional<double> value = parseNumber(text);
    if (!value || !std::isfinite(*value))
        throw RuntimeError::of(ErrTypeMismatch, text);
    if (std::fabs(*value) > FLT_MAX)
        throw RuntimeError::of(ErrOverflow, text);
    return float(*value);
}

OutputPage::OutputPage(ErrorReporter& errors, UserInteraction& ui, QWidget* parent) : QWidget(parent)
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

bool OutputPage::save(Settings& settings, ErrorScope& scope) const
{
    return scope.step([&] { settings.outputFolder = m_folder->path(); })
        && scope.step([&] { settings.parallelDownloads = m_parallel->value(); })
        && scope.step([&] { settings.retries = m_retries->value(); });
}

LoggingPage::LoggingPage(ErrorReporter& errors, UserInteraction& ui, QWidget* parent) : QWidget(parent)
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

void LoggingPage::load(const Settings& settings, ErrorScope& scope)
{
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

bool LoggingPage::save(Settings& settings, ErrorScope& scope) const
{
    return scope.step([&] { settings.activityLogFile = m_folder->path() + QDir::separator() + m_fileName->text(); })
        && scope.step([&] { settings.logDownloads = ticked(m_logDownloads); })
        && scope.step([&] { settings.logCsv = ticked(m_logCsv); });
}

QString LoggingPage::logFileName() const
{
    return m_fileName->text();
}

bool LoggingPage::csvWanted() const
{
    return ticked(m_logCsv);
}

OtherPage::OtherPage(QWidget* parent) : QWidget(parent)
{
    QGroupBox* frame = framedPage(this, tr("Extensions"), "fraOther");
    auto* extensionsLabel = named(new QLabel(tr("File &Extensions to find:"), frame), "lblExt");
    m_extensions = named(new QLineEdit(frame), "txtExt");
    extensionsLabel->setBuddy(m_extensions);

    m_abort = named(new QRadioButton(tr("&Abort Download")), "OptAbort");
    m_resume = named(new QRadioButton(tr("&Resume")), "OptResume");
    m_prompt = named(new QRadioButton(tr("&Prompt")), "OptPrompt");
    QGroupBox* errorGroup = optionGroup(tr("If Error occurs"), "fraError", {m_abort, m_resume, m_prompt}, frame);

    m_overwrite = named(new QRadioButton(tr("&Overwrite")), "optOverWrite");
    m_rename = named(new QRadioButton(tr("Re&name")), "optRename");
    m_skip = named(new QRadioButton(tr("S&kip")), "optSkip");
    QGroupBox* duplicateGroup = optionGroup(tr("If File Exists"), "fraFileDup", {m_overwrite, m_rename, m_skip}, frame);

    m_skipSmall = named(new QCheckBox(tr("Only Save Files &larger than"), frame), "chkSaveLarge");
    m_skipSmall->setToolTip(tr("Ignores small items such as icons"));
    m_minimumSize = named(new QLineEdit(frame), "txtFileSize");
    m_minimumSize->setAccessibleName(tr("Minimum size in KB"));
    auto* kbLabel = named(new QLabel(tr("KB"), frame), "lblKB");
    m_askBeforeCreating =
        named(new QCheckBox(tr("Ask &before creating non existing paths"), frame), "chkCreatePath");

    auto* scrapeGroup = named(new QGroupBox(tr("Scrape"), frame), "fraScrape");
    m_scanImages = named(new QCheckBox(tr("E&mbedded items"), scrapeGroup), "chkScrapeEmbed");
    m_scanLinks = named(new QCheckBox(tr("L&inked items"), scrapeGroup), "chkScrapeLink");
    auto* scrapeLayout = new QVBoxLayout(scrapeGroup);
    scrapeLayout->addWidget(m_scanImages);
    scrapeLayout->addWidget(m_scanLinks);

    m_historyOff = named(new QCheckBox(tr("Do not track &history"), frame), "chkHistory");
    m_lastPage = named(new QRadioButton(tr("Las&t page visited")), "optLast");
    m_homePage = named(new QRadioButton(tr("Home Pa&ge")), "optHome");
    QGroupBox* startGroup = optionGroup(tr("Startup Page"), "fraOpen", {m_lastPage, m_homePage}, frame);

    // What the program knows before and after a download.
    m_skipArchived = named(new QCheckBox(tr("Skip files already &downloaded"), frame), "chkSkipArchived");
    m_skipArchived->setToolTip(tr("A work session passes over addresses the download archive holds"));
    m_probe = named(new QCheckBox(tr("&Check found files before downloading"), frame), "chkProbe");
    m_probe->setToolTip(tr("Asks the server for each found file's type and size"));
    m_keepBoth = named(new QRadioButton(tr("Keep both: &save the new file too")), "optKeepBoth");
    m_keepExisting = named(new QRadioButton(tr("Keep only the e&xisting file")), "optKeepExisting");
    QGroupBox* sameContentGroup =
        optionGroup(tr("If the same content exists"), "fraSameContent", {m_keepBoth, m_keepExisting}, frame);
    auto* knownColumn = new QVBoxLayout;
    knownColumn->addWidget(m_skipArchived);
    knownColumn->addWidget(m_probe);
    knownColumn->addStretch();

    m_minimumSize->setMaximumWidth(m_minimumSize->fontMetrics().horizontalAdvance(QStringLiteral("000000000")) + 12);
    auto* sizeRow = new QHBoxLayout;
    sizeRow->addWidget(m_skipSmall);
    sizeRow->addWidget(m_minimumSize);
    sizeRow->addWidget(kbLabel);
    sizeRow->addStretch();
    auto* grid = new QGridLayout(frame);
    grid->addWidget(extensionsLabel, 0, 0, 1, 2);
    grid->addWidget(m_extensions, 1, 0, 1, 2);
    grid->addWidget(errorGroup, 2, 0);
    grid->addWidget(duplicateGroup, 2, 1);
    grid->addLayout(sizeRow, 3, 0, 1, 2);
    grid->addWidget(m_askBeforeCreating, 4, 0, 1, 2);
    grid->addWidget(scrapeGroup, 5, 0);
    grid->addWidget(startGroup, 5, 1);
    grid->addWidget(m_historyOff, 6, 0, 1, 2);
    grid->addLayout(knownColumn, 7, 0);
    grid->addWidget(sameContentGroup, 7, 1);
    setTabOrder(m_homePage, m_historyOff);  // below both groups of the row above

    connect(m_historyOff, &QCheckBox::stateChanged, this, &OtherPage::historyToggled);
    connect(m_skipSmall, &QCheckBox::stateChanged, this, [this] { m_minimumSize->setEnabled(ticked(m_skipSmall)); });
    // At least one kind of item is always scanned.
    connect(m_scanImages, &QCheckBox::stateChanged, this, [this] {
        if (!ticked(m_scanImages))
            setTicked(m_scanLinks, true);
    });
    connect(m_scanLinks, &QCheckBox::stateChanged, this, [this] {
        if (!ticked(m_scanLinks))
            setTicked(m_scanImages, true);
    });
}

void OtherPage::historyToggled()
{
    // Without a history there is no last page to start from.
    if (ticked(m_historyOff))
        selectOption({m_homePage, m_lastPage}, m_homePage);
    m_lastPage->setEnabled(!ticked(m_historyOff));
}

void OtherPage::load(const Settings& settings)
{
    m_extensions->setText(settings.extensions);
    // An error mode the program does not know selects none; Apply then
    // keeps it.
    const QString& mode = settings.errorModeText;
    selectOption({m_abort, m_resume, m_prompt}, mode == QLatin1String("Abort")    ? m_abort
                                                : mode == QLatin1String("Resume") ? m_resume
                                                : mode == QLatin1String("Prompt") ? m_prompt
                                                                                  : nullptr);
    setTicked(m_scanLinks, settings.scanLinks);
    setTicked(m_scanImages, settings.scanImages);
    setTicked(m_historyOff, !settings.historyEnabled);
    setTicked(m_askBeforeCreating, settings.askBeforeCreatingFolders);
    setTicked(m_skipSmall, settings.skipSmallFiles);
    setTicked(m_skipArchived, settings.skipArchived);
    setTicked(m_probe, settings.probeFoundFiles);
    selectOption({m_keepBoth, m_keepExisting},
                 settings.sameContentRule() == SameContentRule::KeepExisting ? m_keepExisting : m_keepBoth);
    m_minimumSize->setText(minimumSizeText(settings.minimumSizeKB));
    m_minimumSize->setEnabled(settings.skipSmallFiles);
    selectOption({m_homePage, m_lastPage},
                 settings.startPage() == StartPage::LastVisited ? m_lastPage : m_homePage);
    // The rule the downloads apply, an empty one (Overwrite) included.
    const DuplicateRule rule = settings.duplicateRule();
    selectOption({m_skip, m_rename, m_overwrite}, rule == DuplicateRule::Skip     ? m_skip
                                                  : rule == DuplicateRule::Rename ? m_rename
                                                                                  : m_overwrite);
    historyToggled();
}

bool OtherPage::save(Settings& settings, ErrorScope& scope) const
{
    return scope.step([&] { settings.extensions = m_extensions->text(); })
        && scope.step([&] {
               if (m_abort->isChecked())
                   settings.setErrorMode(ErrorMode::Abort);
               else if (m_resume->isChecked())
                   settings.setErrorMode(ErrorMode::CarryOn);
               else if (m_prompt->isChecked())
                   settings.setErrorMode(ErrorMode::Prompt);
           })
        && scope.step([&] { settings.setStartPage(m_lastPage->isChecked() ? StartPage::LastVisited : StartPage::Home); })
        && scope.step([&] { settings.scanLinks = ticked(m_scanLinks); })
        && scope.step([&] { settings.scanImages = ticked(m_scanImages); })
        && scope.step([&] { settings.historyEnabled = !ticked(m_historyOff); })
        && scope.step([&] { settings.askBeforeCreatingFolders = ticked(m_askBeforeCreating); })
        && scope.step([&] { settings.skipSmallFiles = ticked(m_skipSmall); })
        && scope.step([&] { settings.minimumSizeKB = minimumSizeFromText(m_minimumSize->text()); })
        && scope.step([&] { settings.skipArchived = ticked(m_skipArchived); })
        && scope.step([&] { settings.probeFoundFiles = ticked(m_probe); })
        && scope.step([&] { settings.sameContent = int(m_keepExisting->isChecked() ? SameContentRule::KeepExisting
                                                                                  : SameContentRule::KeepBoth); })
        && scope.step([&] {
               settings.setDuplicateRule(m_skip->isChecked()     ? DuplicateRule::Skip
                                         : m_rename->isChecked() ? DuplicateRule::Rename
                                                                 : DuplicateRule::Overwrite);
           });
}

bool OtherPage::askBeforeCreating() const
{
    return ticked(m_askBeforeCreating);
}

}  // namespace pm
