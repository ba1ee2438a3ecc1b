#include "gui/mainwindow.h"

#include "core/appcontext.h"
#include "core/config/pathcheck.h"
#include "core/programpages.h"
#include "core/textutil.h"
#include "core/userinteraction.h"
#include "gui/aboutdialog.h"
#include "gui/browsersession.h"
#include "gui/browserview.h"
#include "gui/foundlistpanel.h"
#include "gui/historydialog.h"
#include "gui/linkedpagescommand.h"
#include "gui/optionsdialog.h"
#include "gui/pagescanner.h"
#include "gui/workqueuewindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QStringListModel>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEnginePage>

namespace pm {

QString legalNoticeText()
{
    return MainWindow::tr(
        "Pullmark copies files from web sites to your computer, and you use it at your own risk.  "
        "Respect the rights of the owners of the content you download: fetch and keep only what they allow "
        "you to copy.");
}

MainWindow::MainWindow(AppContext& context, QWebEngineProfile* profile, QWidget* parent)
    : QMainWindow(parent), m_context(context), m_profile(profile), m_runModal([](QDialog& dialog) { dialog.exec(); })
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral(PULLMARK_TITLE));
    createControls();
    createMenus();
    m_sessionLink = new BrowserSessionLink(m_profile, m_context.session, this);
    m_options = new OptionsDialog(m_context, this);
    // New rules or another output folder change what downloads would do.
    connect(m_options, &OptionsDialog::applied, m_foundList, &FoundListPanel::refreshDetails);
    connect(m_options, &OptionsDialog::helpRequested, this, &MainWindow::showUserGuide);
    makeScanner();
    m_history = new HistoryDialog(m_context.history, this);
    connect(m_history, &HistoryDialog::helpRequested, this, &MainWindow::showUserGuide);
    m_history->setArchive(m_context.archive());
    // A log that cannot be written is told once per file and run. The message
    // waits for the event loop, so it never opens inside the failed write.
    connect(&m_context.log, &ActivityLog::writeFailed, this, [this](const QString& fileName, const QString& reason) {
        if (fileName == m_context.settings.archiveFile) {
            m_context.ui.inform(tr("Download archive not usable"),
                                tr("Pullmark cannot use its download archive %1 (%2). Downloads go on, but until it "
                                   "can, they are not recorded and earlier ones are not recognised.")
                                    .arg(fileName, reason),
                                MessageIcon::Warning);
            return;
        }
        m_context.ui.inform(tr("Log not written"),
                            tr("Pullmark cannot write to %1 (%2). Its entries are lost until it can; "
                               "the log file is set in Tools > Options.").arg(fileName, reason),
                            MessageIcon::Warning);
    }, Qt::QueuedConnection);
    resize(960, 720);
}

MainWindow::~MainWindow()
{
    // The browser goes first, while this window is still whole: destroying
    // its page runs pending page-script callbacks, and its signals must not
    // reach a half-destroyed window.
    disconnect(m_browser, nullptr, this, nullptr);
    disconnect(m_browser->page(), nullptr, this, nullptr);
    delete m_scanner;
    m_scanner = nullptr;
    delete m_browser;
    m_browser = nullptr;
    delete m_queueWindow;
}

void MainWindow::createControls()
{
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);
    auto makeButton = [client](const char* name, const QString& caption) {
        auto* button = new QPushButton(caption, client);
        button->setObjectName(QLatin1String(name));
        return button;
    };

    QPushButton* back = makeButton("cmdBack", tr("&Back"));
    // Alt+F and Alt+T open the File and Tools menus.
    QPushButton* forward = makeButton("cmdForward", tr("For&ward"));
    QPushButton* home = makeButton("cmdHome", tr("&Home"));
    QPushButton* refresh = makeButton("cmdRefresh", tr("&Refresh"));
    QPushButton* stop = makeButton("cmdStop", tr("St&op"));

    auto* addressLabel = new QLabel(tr("&URL:"), client);
    addressLabel->setObjectName(QStringLiteral("lblURL"));
    m_addressBox = new QComboBox(client);
    m_addressBox->setObjectName(QStringLiteral("cmbURL"));
    m_addressBox->setEditable(true);
    m_addressBox->setInsertPolicy(QComboBox::NoInsert);
    m_addressBox->setMaxVisibleItems(20);
    m_addressBox->setModel(m_context.history.model());
    m_addressBox->setEditText(QString());
    m_addressBox->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_addressBox->setAccessibleName(tr("Address"));
    addressLabel->setBuddy(m_addressBox);
    QPushButton* go = makeButton("cmdGo", tr("&Go"));

    m_browser = new BrowserView(m_profile, client);
    m_browser->setObjectName(QStringLiteral("WebBrowser1"));
    m_browser->setAccessibleName(tr("Web page"));

    m_foundList = new FoundListPanel(m_context, client);
    m_foundList->setObjectName(QStringLiteral("foundList"));

    auto* navigation = new QHBoxLayout;
    for (QPushButton* button : {back, forward, home, refresh, stop})
        navigation->addWidget(button);
    navigation->addStretch();
    auto* addressRow = new QHBoxLayout;
    addressRow->addWidget(addressLabel);
    addressRow->addWidget(m_addressBox, 1);
    addressRow->addWidget(go);
    auto* layout = new QVBoxLayout(client);
    layout->addLayout(navigation);
    layout->addLayout(addressRow);
    layout->addWidget(m_browser, 4);
    layout->addWidget(m_foundList, 1);

    // Tab follows the window from top to bottom, left to right.
    const QList<QWidget*> tabOrder =
        QList<QWidget*>{back, forward, home, refresh, stop, m_addressBox, go, m_browser} + m_foundList->tabOrder();
    for (qsizetype i = 1; i < tabOrder.size(); ++i)
        QWidget::setTabOrder(tabOrder[i - 1], tabOrder[i]);

    m_busyTimer = new QTimer(this);
    m_busyTimer->setInterval(100);

    connect(go, &QPushButton::clicked, this, &MainWindow::navigateToAddress);
    connect(m_addressBox, &QComboBox::activated, this, &MainWindow::navigateToAddress);
    connect(home, &QPushButton::clicked, this, &MainWindow::goHome);
    connect(refresh, &QPushButton::clicked, this, &MainWindow::reloadPage);
    connect(back, &QPushButton::clicked, this, &MainWindow::goBack);
    connect(forward, &QPushButton::clicked, this, &MainWindow::goForward);
    connect(stop, &QPushButton::clicked, this, &MainWindow::stopLoading);
    connect(m_foundList, &FoundListPanel::showQueueRequested, this, &MainWindow::showQueue);
    m_linkedPages = new LinkedPagesCommand(m_context, *m_foundList, this);
    connect(m_foundList, &FoundListPanel::harvestRequested, this, &MainWindow::harvestLinkedPages);
    connect(m_linkedPages, &LinkedPagesCommand::runningChanged, m_foundList,
            [this](bool running) { m_foundList->setHarvestEnabled(!running); });
    // Another page ends the harvest of this one's linked pages.
    connect(m_browser, &QWebEngineView::loadStarted, m_linkedPages, &LinkedPagesCommand::drop);
    connect(m_busyTimer, &QTimer::timeout, this, &MainWindow::tickBusyIndicator);
    connect(m_browser, &BrowserView::addressCommitted, this, &MainWindow::recordVisit);
    connect(m_browser, &BrowserView::signInRequested, this, [this](const QUrl& url, QAuthenticator* authenticator) {
        m_context.session.answerPageSignIn(url, authenticator);
    });
    // A reload or a Go to the address on display is a visit too, though the
    // address does not change.
    connect(m_browser, &BrowserView::loadEnded, this, &MainWindow::recordVisit);
    // A title can arrive after the load has ended; show it once the busy
    // indicator has stopped.
    connect(m_browser, &QWebEngineView::titleChanged, this, [this] {
        if (!m_busyTimer->isActive())
            setWindowTitle(m_browser->title());
    });
    // Deleting history entries is no choice of an address: the box's text stays.
    QStringListModel* history = m_context.history.model();
    auto keepText = [this] {
        const QString text = m_addressBox->currentText();
        QTimer::singleShot(0, m_addressBox, [this, text] { m_addressBox->setEditText(text); });
    };
    connect(history, &QAbstractItemModel::rowsAboutToBeRemoved, this, keepText);
    connect(history, &QAbstractItemModel::modelAboutToBeReset, this, keepText);
    m_addressBox->installEventFilter(this);
    m_addressBox->lineEdit()->installEventFilter(this);
}

void MainWindow::makeScanner()
{
    delete m_scanner;
    m_scanner = new PageScanner(*m_browser->scanPage(), m_context.settings, m_context.errors, this);
    connect(m_scanner, &PageScanner::listReady, this, &MainWindow::showScanResult);
    connect(m_scanner, &PageScanner::scanEnded, this, &MainWindow::scanEnded);
    // New scan rules apply to the page on display at once.
    connect(m_options, &OptionsDialog::applied, m_scanner, &PageScanner::settingsChanged);
}

void MainWindow::createMenus()
{
    auto action = [this](QMenu* menu, const char* name, const QString& caption, const QKeySequence& shortcut = {}) {
        QAction* item = menu->addAction(caption);
        item->setObjectName(QLatin1String(name));
        if (!shortcut.isEmpty())
            item->setShortcut(shortcut);
        return item;
    };

    QMenu* file = menuBar()->addMenu(tr("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    QAction* open = action(file, "mnuOpen", tr("&Open Configuration file ..."), QKeySequence::Open);
    QAction* save = action(file, "mnuSave", tr("&Save Configuration file as ..."), QKeySequence::Save);
    file->addSeparator()->setObjectName(QStringLiteral("mnuSeparator1"));
    QAction* quit = action(file, "mnuQuit", tr("&Quit"), QKeySequence(Qt::CTRL | Qt::Key_Q));

    QMenu* edit = menuBar()->addMenu(tr("&Edit"));
    edit->setObjectName(QStringLiteral("mnuEdit"));
    m_copyAction = action(edit, "mnuCopy", tr("&Copy"), QKeySequence::Copy);
    m_pasteAction = action(edit, "mnuPaste", tr("&Paste"), QKeySequence::Paste);

    QMenu* tools = menuBar()->addMenu(tr("&Tools"));
    tools->setObjectName(QStringLiteral("mnuOther"));
    QAction* harvest = action(tools, "mnuHarvestLinked", tr("Harvest &Linked Pages"));
    QAction* options = action(tools, "mnuOptions", tr("&Options ..."));
    QAction* history = action(tools, "mnuHistory", tr("&History ..."));
    QAction* clearCookies = action(tools, "mnuClearCookies", tr("&Clear Cookies and Cache..."));
    tools->addSeparator()->setObjectName(QStringLiteral("mnuSeparator2"));
    QAction* help = action(tools, "mnuHelp", tr("H&elp"), QKeySequence::HelpContents);
    QAction* about = action(tools, "mnuAbout", tr("&About Pullmark..."));

    connect(open, &QAction::triggered, this, &MainWindow::openConfiguration);
    connect(save, &QAction::triggered, this, &MainWindow::saveConfigurationAs);
    connect(quit, &QAction::triggered, this, &QWidget::close);
    connect(m_copyAction, &QAction::triggered, this, &MainWindow::copyAddress);
    connect(m_pasteAction, &QAction::triggered, this, &MainWindow::pasteAddress);
    connect(harvest, &QAction::triggered, this, &MainWindow::harvestLinkedPages);
    connect(m_linkedPages, &LinkedPagesCommand::runningChanged, harvest,
            [harvest](bool running) { harvest->setEnabled(!running); });
    connect(options, &QAction::triggered, this, &MainWindow::showOptions);
    connect(history, &QAction::triggered, this, &MainWindow::showHistory);
    connect(clearCookies, &QAction::triggered, this, &MainWindow::clearCookiesAndCache);
    connect(help, &QAction::triggered, this, [this] { showUserGuide(); });
    connect(about, &QAction::triggered, this, &MainWindow::showAbout);
}

bool MainWindow::start()
{
    Settings& settings = m_context.settings;
    const bool loaded = m_context.loadStoredConfiguration();

    // Nothing is created on disk (folders, the CSV log's header) until the
    // user has accepted the notice: declining it leaves no trace.
    if (!settings.legalNoticeAccepted) {
        if (!m_context.ui.askYesNo(tr("Legal Notice"), legalNoticeText(), MessageIcon::Question))
            return false;
        settings.legalNoticeAccepted = true;
    }
    if (m_profileMaker) {
        // A new page in the profile kept on disk, and a scanner for it.
        m_profile = m_profileMaker();
        m_browser->setProfile(m_profile);
        makeScanner();
        delete m_sessionLink;
        m_sessionLink = new BrowserSessionLink(m_profile, m_context.session, this);
    }
    if (loaded)
        checkPathsAfterLoad();

    m_busyTimer->start();
    if (!m_firstPage.isEmpty()) {
        m_addressBox->setEditText(m_firstPage.toString());
        m_browser->load(m_firstPage);
    } else {
        switch (settings.startPage()) {
        case StartPage::Home: m_browser->goHome(); break;
        case StartPage::LastVisited: m_browser->navigate(m_context.history.entries().value(0)); break;
        case StartPage::None: break;
        }
    }
    m_foundList->clearStatus();
    setEditActionsEnabled(false);
    m_started = true;
    return true;
}

void MainWindow::runModal(QDialog& dialog)
{
    m_runModal(dialog);
}

void MainWindow::loadConfiguration(const QString& fileName)
{
    if (m_context.loadConfiguration(fileName))
        checkPathsAfterLoad();
    m_foundList->refreshDetails();
}

void MainWindow::checkPathsAfterLoad()
{
    const PathDecline declined =
        checkPaths(pathCheckInputFrom(m_context.settings), m_context.errors, m_context.ui);
    if (declined == PathDecline::None)
        return;
    // The user declined to create a folder: the Options dialog opens on the
    // page of that folder, so it can be chosen anew.
    m_options->loadFromSettings();
    m_options->showPage(declined == PathDecline::LogFolder ? OptionsDialog::Logging : OptionsDialog::Output);
    if (!m_options->isVisible())
        runModal(*m_options);
}

WorkQueueWindow* MainWindow::workQueueWindow()
{
    if (!m_queueWindow) {
        m_queueWindow = new WorkQueueWindow(m_context);
        // The queue window may stay open after this one has closed, while a
        // session goes on; whatever changed meanwhile is saved when it closes.
        connect(m_queueWindow, &WorkQueueWindow::closed, this, [this] {
            if (m_shutDown)
                m_context.saveConfiguration(m_context.settings.configurationFile);
        });
        // The guide opens here, which comes forward to show it.
        connect(m_queueWindow, &WorkQueueWindow::helpRequested, this, [this](const QString& section) {
            showUserGuide(section);
            raise();
            activateWindow();
        });
    }
    return m_queueWindow;
}

void MainWindow::showQueue()
{
    WorkQueueWindow* window = workQueueWindow();
    window->show();
    window->raise();
    window->activateWindow();
}

void MainWindow::closeForSystem()
{
    m_closingForSystem = true;
    close();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // The close is never refused: save first, then close the other windows.
    if (!m_shutDown) {
        m_shutDown = true;
        m_context.writeArchiveNow();  // what it cannot take, the journal keeps
        m_context.saveConfiguration(m_context.settings.configurationFile);
        m_history->close();
        m_options->close();
        if (m_queueWindow) {
            if (m_closingForSystem)
                m_queueWindow->closeForSystem();
            else
                m_queueWindow->close();
        }
    }
    event->accept();
}

void MainWindow::openConfiguration()
{
    const std::optional<QString> chosen = m_context.ui.openFileName(
        {tr("Open Configuration file"), tr("INI File (*.ini)"), QStringLiteral("ini"),
         m_context.settings.configurationFile});
    if (chosen)
        loadConfiguration(*chosen);
}

void MainWindow::saveConfigurationAs()
{
    const std::optional<QString> chosen = m_context.ui.saveFileName(
        {tr("Save Configuration file as"), tr("INI File (*.ini)"), QStringLiteral("ini"),
         m_context.settings.configurationFile});
    if (chosen)
        m_context.saveConfiguration(*chosen);
}

void MainWindow::showOptions()
{
    m_options->loadFromSettings();
    runModal(*m_options);
}

void MainWindow::showHistory()
{
    m_history->reload();
    runModal(*m_history);
}

void MainWindow::showAbout()
{
    AboutDialog about(m_context.settings.programFolder, m_context.settings.configurationFile, m_context.ui, this);
    runModal(about);
}

void MainWindow::clearCookiesAndCache()
{
    if (m_context.ui.askYesNo(tr("Clear Cookies and Cache"),
                              tr("Forget every cookie and empty the browser's cache? You are signed out of every "
                                 "site, for browsing and for downloads."),
                              MessageIcon::Question))
        m_sessionLink->clearCookiesAndCache();
}

void MainWindow::showUserGuide(const QString& section)
{
    QUrl guide(QString::fromLatin1(kUserGuideAddress));
    if (!section.isEmpty())
        guide.setFragment(section);
    m_addressBox->setEditText(guide.toString());
    navigateToAddress();
}

void MainWindow::tickBusyIndicator()
{
    if (m_browser->isBusy()) {
        setWindowTitle(nextBusyText(windowTitle(), tr("Working"), 5));
    } else {
        m_busyTimer->stop();
        setWindowTitle(m_browser->title());
    }
}

void MainWindow::beginNavigation()
{
    m_busyTimer->start();
    m_foundList->clear();
}

void MainWindow::openPage(const QUrl& page)
{
    beginNavigation();
    m_addressBox->setEditText(page.toString());
    m_browser->load(page);
}

void MainWindow::navigateToAddress()
{
    beginNavigation();
    m_browser->navigate(m_addressBox->currentText());
}

void MainWindow::goHome()
{
    beginNavigation();
    m_browser->goHome();
}

void MainWindow::reloadPage()
{
    beginNavigation();
    m_browser->reload();
}

void MainWindow::goBack()
{
    m_busyTimer->start();
    m_browser->back();
}

void MainWindow::goForward()
{
    m_busyTimer->start();
    m_browser->forward();
}

void MainWindow::stopLoading()
{
    m_linkedPages->stop();
    m_busyTimer->stop();
    m_browser->stop();
    setWindowTitle(m_browser->title());
}

void MainWindow::harvestLinkedPages()
{
    m_linkedPages->start(m_browser->page()->profile(), m_browser->url(), m_scanner->pageLinks());
}

void MainWindow::recordVisit()
{
    setWindowTitle(m_browser->title());
    if (!m_context.settings.historyEnabled)
        return;
    if (m_context.history.recordVisit(m_browser->url().toString())) {
        const QSignalBlocker blocker(m_addressBox);
        m_addressBox->setCurrentIndex(0);
    }
}

void MainWindow::setEditActionsEnabled(bool enabled)
{
    m_copyAction->setEnabled(enabled);
    m_pasteAction->setEnabled(enabled);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_addressBox || watched == m_addressBox->lineEdit()) {
        switch (event->type()) {
        case QEvent::FocusIn:
            setEditActionsEnabled(true);
            break;
        case QEvent::FocusOut: {
            // Opening a menu does not take the focus from the address box: the
            // Edit menu must stay usable for it. Moving between the box and its
            // line editor is no loss either.
            QWidget* now = QApplication::focusWidget();
            if (static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason && now != m_addressBox
                && !m_addressBox->isAncestorOf(now))
                setEditActionsEnabled(false);
            break;
        }
        case QEvent::KeyPress: {
            // Enter goes, once; the box itself would also report a choice of
            // the history entry that matches the text.
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                navigateToAddress();
                return true;
            }
            break;
        }
        case QEvent::ShortcutOverride: {
            // Ctrl+C and Ctrl+V in the address box are the Edit menu's Copy and
            // Paste (the whole text), not the line editor's own.
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->matches(QKeySequence::Copy) || key->matches(QKeySequence::Paste))
                return true;  // left unaccepted, so the menu shortcut runs
            break;
        }
        default:
            break;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::copyAddress()
{
    m_context.ui.setClipboardText(m_addressBox->currentText());
}

void MainWindow::pasteAddress()
{
    m_addressBox->setEditText(m_context.ui.clipboardText());
}

void MainWindow::scanEnded(ScanTrigger trigger, bool applied)
{
    switch (trigger) {
    case ScanTrigger::LoadEnded: emit scanFinished(applied); break;
    case ScanTrigger::DocumentParsed: emit earlyScanFinished(applied); break;
    case ScanTrigger::Change: emit liveScanFinished(applied); break;
    }
}

void MainWindow::showScanResult(const ScanResult& result)
{
    if (result.firstOfLoad)
        m_addressShown.clear();
    m_foundList->showList(result.urls, !result.firstOfLoad, result.pageUrl);
    if (result.stopped)  // aborted: the rest stays as it was
        return;

    // The address box follows the page at the load's end; while it loads or
    // changes, only when the address changed, so that what the user types
    // meanwhile stays. The caption is the busy indicator's until the load ends.
    const bool loadEnded = result.trigger == ScanTrigger::LoadEnded;
    if (loadEnded || result.pageUrl != m_addressShown) {
        m_addressBox->setEditText(result.pageUrl);
        m_addressShown = result.pageUrl;
    }
    if (loadEnded)
        setWindowTitle(m_browser->title());
    m_foundList->showScanStatus();
}

}  // namespace pm
