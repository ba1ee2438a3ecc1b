#include "settings/optionsdialog.h"

#include "common/errors.h"
#include "common/interaction.h"
#include "common/strings.h"
#include "logs/errorscope.h"
#include "settings/folderlists.h"
#include "settings/pathcheck.h"
#include "settings/settings.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStackedWidget>
#include <QTabBar>
#include <QVBoxLayout>

#include <cfloat>
#include <functional>
#include <cmath>

namespace pm {

namespace {
QPointer<frmOptions> g_dialog;
QPointer<QWidget> g_owner;

template <typename T>
T* named(T* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QPushButton* button(const char* name, const QString& caption, QWidget* parent)
{
    auto* b = named(new QPushButton(caption, parent), name);
    b->setAutoDefault(false);
    return b;
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

bool sameWord(const QString& value, const char* word)
{
    return value.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}
}  // namespace

bool ticked(const QCheckBox* box)
{
    return box->checkState() != Qt::Unchecked;
}

QString fileSizeText(float size)
{
    // Plain digits, no grouping: the text converts back to the same number.
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    const double value = size;
    if (std::isfinite(value) && value == std::floor(value) && std::fabs(value) < 1e15)
        return locale.toString(qint64(value));
    return locale.toString(value, 'g', 7);
}

float fileSizeFromText(const QString& text)
{
    const QString trimmed = text.trimmed();
    bool ok = false;
    double value = QLocale().toDouble(trimmed, &ok);
    if (!ok)
        value = QLocale::c().toDouble(trimmed, &ok);
    if (!ok || !std::isfinite(value))
        throw RuntimeError::of(ErrTypeMismatch, text);
    if (std::fabs(value) > FLT_MAX)
        throw RuntimeError::of(ErrOverflow, text);
    return float(value);
}

frmOptions::frmOptions(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(QStringLiteral("Options"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    createControls();
    watchKeys();
}

void frmOptions::createControls()
{
    tbsOptions = named(new QTabBar(this), "tbsOptions");
    tbsOptions->setFocusPolicy(Qt::StrongFocus);
    tbsOptions->addTab(QStringLiteral("Output "));
    tbsOptions->setTabToolTip(0, QStringLiteral("Set Options for File Output path"));
    tbsOptions->addTab(QStringLiteral("Logging"));
    tbsOptions->setTabToolTip(1, QStringLiteral("Set Options for log file"));
    tbsOptions->addTab(QStringLiteral("Other"));
    tbsOptions->setTabToolTip(2, QStringLiteral("Set other Options"));

    pages = new QStackedWidget(this);
    picOptions = {createOutputPage(), createLoggingPage(), createOtherPage()};
    for (QWidget* page : picOptions) {
        page->setObjectName(QStringLiteral("picOptions"));
        pages->addWidget(page);
    }

    cmdOK = button("cmdOK", QStringLiteral("OK"), this);
    cmdCancel = button("cmdCancel", QStringLiteral("Cancel"), this);
    cmdApply = button("cmdApply", QStringLiteral("Apply"), this);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    buttons->addWidget(cmdApply);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tbsOptions);
    layout->addWidget(pages, 1);
    layout->addLayout(buttons);

    connect(tbsOptions, &QTabBar::currentChanged, this, [this](int) { tbsOptions_Click(); });
    connect(chkHistory, &QCheckBox::stateChanged, this, [this](int) { chkHistory_Click(); });
    connect(chkSaveLarge, &QCheckBox::stateChanged, this, [this](int) { chkSaveLarge_Click(); });
    connect(chkScrapeEmbed, &QCheckBox::stateChanged, this, [this](int) { chkScrapeEmbed_Click(); });
    connect(chkScrapeLink, &QCheckBox::stateChanged, this, [this](int) { chkScrapeLink_Click(); });
    connect(DrivePath, &DriveList::driveChanged, this, [this] { DrivePath_Change(); });
    connect(DirPath, &FolderList::pathChanged, this, [this] { DirPath_Change(); });
    connect(DirPath, &FolderList::folderClicked, this, &frmOptions::DirPath_Click);
    connect(DriveLog, &DriveList::driveChanged, this, [this] { DriveLog_Change(); });
    connect(DirLog, &FolderList::pathChanged, this, [this] { DirLog_Change(); });
    connect(DirLog, &FolderList::folderClicked, this, &frmOptions::DirLog_Click);
    connect(cmdNewFolder, &QPushButton::clicked, this, &frmOptions::cmdNewFolder_Click);
    connect(cmdNewLogPath, &QPushButton::clicked, this, &frmOptions::cmdNewLogPath_Click);
    connect(cmdApply, &QPushButton::clicked, this, &frmOptions::cmdApply_Click);
    connect(cmdOK, &QPushButton::clicked, this, &frmOptions::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmOptions::cmdCancel_Click);
}

QWidget* frmOptions::createOutputPage()
{
    auto* page = new QWidget;
    fraOutput = named(new QGroupBox(QStringLiteral("Output"), page), "fraOutput");
    lblPath = named(new QLabel(QStringLiteral("Save path:"), fraOutput), "lblPath");
    txtPath = named(new QLineEdit(fraOutput), "txtPath");
    lblPath->setBuddy(txtPath);
    DrivePath = named(new DriveList(fraOutput), "DrivePath");
    DirPath = named(new FolderList(fraOutput), "DirPath");
    cmdNewFolder = button("cmdNewFolder", QStringLiteral("New Folder"), fraOutput);

    auto* grid = new QGridLayout(fraOutput);
    grid->addWidget(lblPath, 0, 0);
    grid->addWidget(txtPath, 1, 0, 1, 2);
    grid->addWidget(DrivePath, 2, 0);
    grid->addWidget(cmdNewFolder, 2, 1);
    grid->addWidget(DirPath, 3, 0, 1, 2);
    (new QVBoxLayout(page))->addWidget(fraOutput);
    return page;
}

QWidget* frmOptions::createLoggingPage()
{
    auto* page = new QWidget;
    fraLog = named(new QGroupBox(QStringLiteral("Log option"), page), "fraLog");
    lblLog = named(new QLabel(QStringLiteral("Log path:"), fraLog), "lblLog");
    txtLogPath = named(new QLineEdit(fraLog), "txtLogPath");
    lblLog->setBuddy(txtLogPath);
    DriveLog = named(new DriveList(fraLog), "DriveLog");
    DirLog = named(new FolderList(fraLog), "DirLog");
    cmdNewLogPath = button("cmdNewLogPath", QStringLiteral("New Folder"), fraLog);
    lblLogFileName = named(new QLabel(QStringLiteral("Log File Name:"), fraLog), "lblLogFileName");
    txtLogFileName = named(new QLineEdit(fraLog), "txtLogFileName");
    lblLogFileName->setBuddy(txtLogFileName);
    chkLogDnlds = named(new QCheckBox(QStringLiteral("Log each file downloaded"), fraLog), "chkLogDnlds");
    chkLogCSV = named(new QCheckBox(QStringLiteral("Log File download statistics to a CSV file"), fraLog), "chkLogCSV");

    auto* grid = new QGridLayout(fraLog);
    grid->addWidget(lblLog, 0, 0);
    grid->addWidget(txtLogPath, 1, 0, 1, 2);
    grid->addWidget(DriveLog, 2, 0);
    grid->addWidget(cmdNewLogPath, 2, 1);
    grid->addWidget(DirLog, 3, 0, 1, 2);
    grid->addWidget(lblLogFileName, 4, 0);
    grid->addWidget(txtLogFileName, 5, 0, 1, 2);
    grid->addWidget(chkLogDnlds, 6, 0, 1, 2);
    grid->addWidget(chkLogCSV, 7, 0, 1, 2);
    (new QVBoxLayout(page))->addWidget(fraLog);
    return page;
}

QWidget* frmOptions::createOtherPage()
{
    auto* page = new QWidget;
    fraOther = named(new QGroupBox(QStringLiteral("Extentions"), page), "fraOther");
    lblExt = named(new QLabel(QStringLiteral("File Extensions to find:"), fraOther), "lblExt");
    txtExt = named(new QLineEdit(fraOther), "txtExt");
    lblExt->setBuddy(txtExt);

    fraError = named(new QGroupBox(QStringLiteral("If Error occurs"), fraOther), "fraError");
    OptAbort = named(new QRadioButton(QStringLiteral("Abort Download"), fraError), "OptAbort");
    OptResume = named(new QRadioButton(QStringLiteral("Resume"), fraError), "OptResume");
    OptPrompt = named(new QRadioButton(QStringLiteral("Prompt"), fraError), "OptPrompt");
    auto* errorLayout = new QVBoxLayout(fraError);
    errorLayout->addWidget(OptAbort);
    errorLayout->addWidget(OptResume);
    errorLayout->addWidget(OptPrompt);

    fraFileDup = named(new QGroupBox(QStringLiteral("If File Exists"), fraOther), "fraFileDup");
    optOverWrite = named(new QRadioButton(QStringLiteral("Overwrite"), fraFileDup), "optOverWrite");
    optRename = named(new QRadioButton(QStringLiteral("Rename"), fraFileDup), "optRename");
    optSkip = named(new QRadioButton(QStringLiteral("Skip"), fraFileDup), "optSkip");
    auto* dupLayout = new QVBoxLayout(fraFileDup);
    dupLayout->addWidget(optOverWrite);
    dupLayout->addWidget(optRename);
    dupLayout->addWidget(optSkip);

    chkSaveLarge = named(new QCheckBox(QStringLiteral("Only Save Files larger than"), fraOther), "chkSaveLarge");
    chkSaveLarge->setToolTip(QStringLiteral("Ignores small items such as icons"));
    txtFileSize = named(new QLineEdit(fraOther), "txtFileSize");
    lblKB = named(new QLabel(QStringLiteral("KB"), fraOther), "lblKB");
    chkCreatePath = named(new QCheckBox(QStringLiteral("Ask before creating non existing paths"), fraOther),
                          "chkCreatePath");

    fraScrape = named(new QGroupBox(QStringLiteral("Scrape"), fraOther), "fraScrape");
    chkScrapeEmbed = named(new QCheckBox(QStringLiteral("Embedded items"), fraScrape), "chkScrapeEmbed");
    chkScrapeLink = named(new QCheckBox(QStringLiteral("Linked items"), fraScrape), "chkScrapeLink");
    auto* scrapeLayout = new QVBoxLayout(fraScrape);
    scrapeLayout->addWidget(chkScrapeEmbed);
    scrapeLayout->addWidget(chkScrapeLink);

    chkHistory = named(new QCheckBox(QStringLiteral("Do not track history"), fraOther), "chkHistory");

    fraOpen = named(new QGroupBox(QStringLiteral("Startup Page"), fraOther), "fraOpen");
    optLast = named(new QRadioButton(QStringLiteral("Last page visited"), fraOpen), "optLast");
    optHome = named(new QRadioButton(QStringLiteral("Home Page"), fraOpen), "optHome");
    auto* openLayout = new QVBoxLayout(fraOpen);
    openLayout->addWidget(optLast);
    openLayout->addWidget(optHome);

    auto* size = new QHBoxLayout;
    size->addWidget(chkSaveLarge);
    size->addWidget(txtFileSize);
    size->addWidget(lblKB);

    auto* grid = new QGridLayout(fraOther);
    grid->addWidget(lblExt, 0, 0, 1, 2);
    grid->addWidget(txtExt, 1, 0, 1, 2);
    grid->addWidget(fraError, 2, 0);
    grid->addWidget(fraFileDup, 2, 1);
    grid->addLayout(size, 3, 0, 1, 2);
    grid->addWidget(chkCreatePath, 4, 0, 1, 2);
    grid->addWidget(fraScrape, 5, 0);
    grid->addWidget(fraOpen, 5, 1);
    grid->addWidget(chkHistory, 6, 0, 1, 2);
    (new QVBoxLayout(page))->addWidget(fraOther);
    return page;
}

void frmOptions::watchKeys()
{
    // The dialog sees keys before its controls, and the path boxes report
    // losing the focus.
    installEventFilter(this);
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);
}

bool frmOptions::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (Form_KeyDown(key->key(), key->modifiers()))
            return true;
    } else if (event->type() == QEvent::FocusOut && (watched == txtPath || watched == txtLogPath)) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        // Switching to another program or opening a menu is no leaving.
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && m_loaded && isVisible()) {
            if (watched == txtPath)
                txtPath_LostFocus();
            else
                txtLogPath_LostFocus();
        }
    }
    return QDialog::eventFilter(watched, event);
}

bool frmOptions::Form_KeyDown(int key, Qt::KeyboardModifiers modifiers)
{
    if (key != Qt::Key_Tab || modifiers != Qt::ControlModifier)
        return false;
    const int next = tbsOptions->currentIndex() + 1;
    tbsOptions->setCurrentIndex(next >= tbsOptions->count() ? 0 : next);
    return true;
}

void frmOptions::ensureLoaded()
{
    if (!m_loaded)
        Form_Load();
}

void frmOptions::unload()
{
    m_loaded = false;
    hide();
    // A new load starts on the first tab, as a new dialog does.
    const QSignalBlocker blocker(tbsOptions);
    tbsOptions->setCurrentIndex(0);
}

void frmOptions::Form_Load()
{
    m_loaded = true;
    const Settings& s = settings();
    ErrorScope scope(QStringLiteral("frmoptions.Form_Load."));
    // The code points the lists while filling the boxes: the boxes keep the
    // settings' texts rather than the lists' reports.
    const QSignalBlocker blockDrivePath(DrivePath);
    const QSignalBlocker blockDirPath(DirPath);
    const QSignalBlocker blockDriveLog(DriveLog);
    const QSignalBlocker blockDirLog(DirLog);

    // 1. Log folder and file name.
    if (!s.strG_LogFileName.isEmpty()) {
        if (!scope.step([&] {
                if (!s.strG_LogFileName.contains(QDir::separator()) || !DriveLog->setDriveFor(s.strG_LogFileName))
                    throw RuntimeError::of(ErrBadFileName, s.strG_LogFileName);
            }))
            return;
        QString folder;
        QString fileName;
        SplitPath(s.strG_LogFileName, folder, fileName);
        if (!scope.step([&] {
                if (!s.strG_LogFileName.contains(QDir::separator())) {
                    txtLogPath->clear();
                    txtLogFileName->setText(s.strG_LogFileName);
                    throw RuntimeError::of(ErrBadFileName, s.strG_LogFileName);
                }
                txtLogPath->setText(folder);
                txtLogFileName->setText(fileName);
            }))
            return;
    } else {
        txtLogFileName->setText(QStringLiteral("Pullmark.log"));
    }

    // 2. Output folder.
    txtPath->setText(s.strG_SavePath);
    if (!txtPath->text().isEmpty()) {
        DrivePath->setDriveFor(txtPath->text());
        DirPath->setPath(txtPath->text());
    }
    // 3.
    txtExt->setText(s.strG_FileExt);

    // 4. Centred on the screen.
    adjustSize();
    if (const QScreen* screen = this->screen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - frameGeometry().width()) / 2,
             area.y() + (area.height() - frameGeometry().height()) / 2);
    }

    // 5.
    DirPath->setPath(txtPath->text());
    DirLog->setPath(txtLogPath->text());

    // 6. Error mode; an unknown word selects none.
    const QString& mode = s.strG_Unattended;
    selectOption({OptAbort, OptResume, OptPrompt}, sameWord(mode, "Abort")    ? OptAbort
                                                   : sameWord(mode, "Resume") ? OptResume
                                                   : sameWord(mode, "Prompt") ? OptPrompt
                                                                              : nullptr);
    // 7.
    setTicked(chkLogDnlds, s.bG_LogDownloads);
    setTicked(chkLogCSV, s.bG_LogCSV);
    setTicked(chkScrapeLink, s.bG_ScrapeLink);
    setTicked(chkScrapeEmbed, s.bG_ScrapeEmbedded);
    setTicked(chkHistory, s.bG_MaintainHistory);
    setTicked(chkCreatePath, s.bG_CreatePath);
    setTicked(chkSaveLarge, s.bG_SaveLarge);

    // 8.
    txtFileSize->setText(fileSizeText(s.sG_FileSize));
    txtFileSize->setEnabled(ticked(chkSaveLarge));

    // 9. Start page (anything but "Last" means Home), then the duplicate rule
    // (anything unknown means Skip).
    selectOption({optHome, optLast}, sameWord(s.strG_StartURL, "Last") ? optLast : optHome);
    const QString& dup = s.strG_FileDupOption;
    selectOption({optSkip, optRename, optOverWrite}, sameWord(dup, "Rename")      ? optRename
                                                     : sameWord(dup, "overwrite") ? optOverWrite
                                                                                  : optSkip);
    // 10, 11.
    chkHistory_Click();
    tbsOptions_Click();
}

void frmOptions::tbsOptions_Click()
{
    ShowOptionsTab(tbsOptions->currentIndex());
}

void frmOptions::showPage(int page)
{
    for (int i = 0; i < picOptions.size(); ++i)
        picOptions[i]->setEnabled(i == page);
    if (page >= 0 && page < picOptions.size())
        pages->setCurrentIndex(page);
}

int frmOptions::pageShown() const
{
    return pages->currentIndex();
}

void frmOptions::chkHistory_Click()
{
    if (ticked(chkHistory)) {
        selectOption({optHome, optLast}, optHome);
        optLast->setEnabled(false);
    } else {
        optLast->setEnabled(true);
    }
}

void frmOptions::chkSaveLarge_Click()
{
    txtFileSize->setEnabled(ticked(chkSaveLarge));
}

void frmOptions::chkScrapeEmbed_Click()
{
    if (!ticked(chkScrapeEmbed))
        setTicked(chkScrapeLink, true);
}

void frmOptions::chkScrapeLink_Click()
{
    if (!ticked(chkScrapeLink))
        setTicked(chkScrapeEmbed, true);
}

void frmOptions::DrivePath_Change()
{
    DirPath->setPath(DrivePath->drive());
}

void frmOptions::DirPath_Change()
{
    txtPath->setText(DirPath->path());
}

void frmOptions::DirPath_Click(const QString& folder)
{
    txtPath->setText(folder);
}

void frmOptions::DriveLog_Change()
{
    DirLog->setPath(DriveLog->drive());
}

void frmOptions::DirLog_Change()
{
    txtLogPath->setText(DirLog->path());
}

void frmOptions::DirLog_Click(const QString& folder)
{
    txtLogPath->setText(folder);
}

void frmOptions::txtPath_LostFocus()
{
    if (m_inLostFocus)
        return;
    m_inLostFocus = true;
    CheckFileExists();
    // A folder that still does not exist leaves the list where it was.
    DirPath->setPath(txtPath->text());
    m_inLostFocus = false;
}

void frmOptions::txtLogPath_LostFocus()
{
    if (m_inLostFocus)
        return;
    m_inLostFocus = true;
    CheckFileExists();
    DirLog->setPath(txtLogPath->text());
    m_inLostFocus = false;
}

void frmOptions::newFolder(const QString& routine, QLineEdit* box, FolderList* list)
{
    ErrorScope scope(routine);
    QString folder;
    if (!scope.step([&] {
            folder = interaction()
                         .promptText(this, QStringLiteral("New Folder"), QStringLiteral("Please type complete path name"),
                                     box->text())
                         .value_or(QString());
        }))
        return;
    if (!scope.step([&] { createFolder(folder); }))
        return;
    if (!scope.step([&] {
            if (!folder.isEmpty() && !list->setPath(folder))
                throw RuntimeError::of(ErrPathNotFound, folder);
        }))
        return;
    scope.step([&] { box->setText(folder); });
}

void frmOptions::cmdNewFolder_Click()
{
    newFolder(QStringLiteral("cmdNewFolderClick."), txtPath, DirPath);
}

void frmOptions::cmdNewLogPath_Click()
{
    newFolder(QStringLiteral("cmdnewlogpathclick."), txtLogPath, DirLog);
}

void frmOptions::cmdApply_Click()
{
    ErrorScope scope(QStringLiteral("cmdApplyClick."));
    Settings& s = settings();
    if (!scope.step([&] { CheckFileExists(); }))
        return;
    if (s.bG_PathError)
        return;

    auto choice = [](std::initializer_list<std::pair<QRadioButton*, const char*>> group, QString& field) {
        for (const auto& [option, word] : group) {
            if (option->isChecked()) {
                field = QLatin1String(word);
                return;
            }
        }
    };
    const std::initializer_list<std::function<void()>> steps = {
        [&] { s.strG_SavePath = txtPath->text(); },
        [&] { s.strG_LogFileName = txtLogPath->text() + QDir::separator() + txtLogFileName->text(); },
        [&] { s.strG_FileExt = txtExt->text(); },
        [&] { choice({{OptAbort, "Abort"}, {OptResume, "Resume"}, {OptPrompt, "Prompt"}}, s.strG_Unattended); },
        [&] { s.bG_LogDownloads = ticked(chkLogDnlds); },
        [&] { s.bG_LogCSV = ticked(chkLogCSV); },
        [&] { choice({{optHome, "Home"}, {optLast, "Last"}}, s.strG_StartURL); },
        [&] { s.bG_ScrapeLink = ticked(chkScrapeLink); },
        [&] { s.bG_ScrapeEmbedded = ticked(chkScrapeEmbed); },
        [&] { s.bG_MaintainHistory = ticked(chkHistory); },
        [&] { s.bG_CreatePath = ticked(chkCreatePath); },
        [&] { s.bG_SaveLarge = ticked(chkSaveLarge); },
        [&] { s.sG_FileSize = fileSizeFromText(txtFileSize->text()); },
        [&] {
            choice({{optSkip, "Skip"}, {optRename, "Rename"}, {optOverWrite, "Overwrite"}}, s.strG_FileDupOption);
        },
    };
    for (const auto& step : steps) {
        if (!scope.step(step))
            return;
    }
}

void frmOptions::cmdOK_Click()
{
    cmdApply_Click();
    if (!settings().bG_PathError)
        unload();
}

void frmOptions::cmdCancel_Click()
{
    unload();
}

void frmOptions::closeEvent(QCloseEvent* event)
{
    cmdCancel_Click();
    event->accept();
}

void frmOptions::reject()
{
    cmdCancel_Click();
}

PathCheckInput frmOptions::pathCheckInput() const
{
    PathCheckInput input;
    input.outputFolder = txtPath->text();
    input.logFolder = txtLogPath->text();
    input.logFileName = txtLogFileName->text();
    input.askBeforeCreating = ticked(chkCreatePath);
    input.csvWanted = ticked(chkLogCSV);
    return input;
}

frmOptions& optionsDialog()
{
    if (!g_dialog)
        g_dialog = new frmOptions(g_owner);
    return *g_dialog;
}

frmOptions& Options()
{
    frmOptions& dialog = optionsDialog();
    dialog.ensureLoaded();
    return dialog;
}

void setOptionsOwner(QWidget* owner)
{
    g_owner = owner;
    if (g_dialog && g_dialog->parentWidget() != owner)
        g_dialog->setParent(owner, g_dialog->windowFlags());
}

void releaseOptionsOwner(QWidget* owner)
{
    if (g_dialog && g_dialog->parentWidget() == owner)
        destroyOptionsDialog();
    if (g_owner == owner)
        g_owner = nullptr;
}

void destroyOptionsDialog()
{
    delete g_dialog.data();
}

void ShowOptionsTab(int page)
{
    Options().showPage(page);
}

}  // namespace pm
