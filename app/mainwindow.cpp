#include "app/mainwindow.h"

#include "app/browser.h"
#include "app/busycaption.h"
#include "app/history.h"
#include "app/scraper.h"
#include "common/interaction.h"
#include "common/modal.h"
#include "common/twips.h"
#include "logs/errorreport.h"
#include "queue/frmprogress.h"
#include "logs/errorscope.h"
#include "settings/configfile.h"
#include "settings/optionsdialog.h"
#include "settings/pathcheck.h"
#include "settings/settings.h"
#include "windows/aboutwindow.h"
#include "windows/historywindow.h"

#include <QCloseEvent>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QPushButton>
#include <QStringListModel>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineScript>

#include <algorithm>

static void initAppResources()
{
    Q_INIT_RESOURCE(app);
}

namespace pm {

const char* const frmMain::kUserGuideUrl = "https://pullmark.example.org/Pullmark11UG.php";

QString legalNoticeText()
{
    return QStringLiteral(
        "Pullmark copies files from web sites to your computer, and you use it at your own risk.  "
        "Respect the rights of the owners of the content you download: fetch and keep only what they allow "
        "you to copy.");
}

frmMain::frmMain(QWebEngineProfile* profile, const QString& appPath, QWidget* parent)
    : QMainWindow(parent), m_appPath(QDir::toNativeSeparators(appPath)), m_profile(profile),
      m_layout(designLayout())
{
    initAppResources();
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Pullmark"));
    createControls();
    createMenus();
    setTabOrder();
    applyLayout();
    setErrorDialogParent(this);

    // The History window and the Options dialog belong to this window, and
    // close in that order at shutdown. History is filled each time it opens;
    // Options is loaded on first use.
    m_history = new frmHistory(cmbURL, this);
    addOwnedWindow(m_history);
    setOptionsOwner(this);
    addOwnedWindow(&optionsDialog());
    connect(this, &frmMain::optionsRequested, this, &frmMain::mnuOptions_Click);
    connect(this, &frmMain::historyRequested, this, &frmMain::mnuHistory_Click);
    connect(this, &frmMain::aboutRequested, this, &frmMain::mnuAbout_Click);
}

frmMain::~frmMain()
{
    // The browser goes first, while this window is still whole: destroying
    // its page runs pending page-script callbacks, and its signals must not
    // reach a half-destroyed window.
    disconnect(WebBrowser1, nullptr, this, nullptr);
    disconnect(WebBrowser1->page(), nullptr, this, nullptr);
    delete WebBrowser1;
    WebBrowser1 = nullptr;
    releaseOptionsOwner(this);
    setErrorDialogParent(nullptr);
    delete m_queueWindow;
}

frmProgress* frmMain::workQueueWindow()
{
    if (!m_queueWindow) {
        m_queueWindow = new frmProgress;
        m_queueWindow->setConfigurationSaver([this] { saveConfiguration(settings().strG_IniFileName); });
        m_queueWindow->setSystemEndingQuery([this] { return closingForSystem(); });
        // Every configuration save stores the live queue.
        connect(this, &frmMain::aboutToSaveConfiguration, m_queueWindow, &frmProgress::storeQueue);
        addOwnedWindow(m_queueWindow);
    }
    m_queueWindow->ensureLoaded();
    return m_queueWindow;
}

void frmMain::cmdAdd_Click()
{
    addToQueue(*workQueueWindow(), selectedFoundUrls());
}

void frmMain::cmdShowQue_Click()
{
    frmProgress* window = workQueueWindow();
    window->show();
    window->raise();
    window->activateWindow();
}

void frmMain::createControls()
{
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);

    auto makeButton = [client](const char* name, const QString& caption) {
        auto* button = new QPushButton(caption, client);
        button->setObjectName(QLatin1String(name));
        return button;
    };

    lblURL = new QLabel(QStringLiteral("URL:"), client);
    lblURL->setObjectName(QStringLiteral("lblURL"));
    cmdGo = makeButton("cmdGo", QStringLiteral("Go"));
    cmbURL = new QComboBox(client);
    cmbURL->setObjectName(QStringLiteral("cmbURL"));
    cmbURL->setEditable(true);
    cmbURL->setInsertPolicy(QComboBox::NoInsert);
    cmbURL->setMaxVisibleItems(20);
    lblURL->setBuddy(cmbURL);

    m_foundModel = new QStringListModel(this);
    lstUrl = new QListView(client);
    lstUrl->setObjectName(QStringLiteral("lstUrl"));
    lstUrl->setModel(m_foundModel);
    lstUrl->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lstUrl->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstUrl->setUniformItemSizes(true);

    cmdSelNone = makeButton("cmdSelNone", QStringLiteral("Select None"));
    cmdSelAll = makeButton("cmdSelAll", QStringLiteral("Select All"));
    cmdShowQue = makeButton("cmdShowQue", QStringLiteral("Show Queue..."));
    lblStatus = new QLabel(QStringLiteral("Currently Selected"), client);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    cmdHome = makeButton("cmdHome", QStringLiteral("Home"));
    cmdRefresh = makeButton("cmdRefresh", QStringLiteral("Refresh"));
    cmdBack = makeButton("cmdBack", QStringLiteral("Back"));
    cmdForward = makeButton("cmdForward", QStringLiteral("Forward"));
    cmdStop = makeButton("cmdStop", QStringLiteral("Stop"));
    cmdAdd = makeButton("cmdAdd", QStringLiteral("Add to Queue"));

    WebBrowser1 = new Browser(m_profile, client);
    WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(100);

    connect(cmdGo, &QPushButton::clicked, this, &frmMain::cmdGo_Click);
    connect(cmbURL->lineEdit(), &QLineEdit::returnPressed, this, &frmMain::cmdGo_Click);
    connect(cmbURL, &QComboBox::activated, this, [this](int) { cmbURL_Click(); });
    connect(cmdHome, &QPushButton::clicked, this, &frmMain::cmdHome_Click);
    connect(cmdRefresh, &QPushButton::clicked, this, &frmMain::cmdRefresh_Click);
    connect(cmdBack, &QPushButton::clicked, this, &frmMain::cmdBack_Click);
    connect(cmdForward, &QPushButton::clicked, this, &frmMain::cmdForward_Click);
    connect(cmdStop, &QPushButton::clicked, this, &frmMain::cmdStop_Click);
    connect(cmdAdd, &QPushButton::clicked, this, &frmMain::cmdAdd_Click);
    connect(cmdShowQue, &QPushButton::clicked, this, &frmMain::cmdShowQue_Click);
    connect(Timer1, &QTimer::timeout, this, &frmMain::Timer1_Timer);
    connect(WebBrowser1, &Browser::NavigateComplete2, this, &frmMain::NavigateComplete2);
    // A title can arrive after the load has ended; show it once the busy
    // indicator has stopped.
    connect(WebBrowser1, &QWebEngineView::titleChanged, this, [this] {
        if (!Timer1->isActive())
            setWindowTitle(WebBrowser1->LocationName());
    });
    connect(WebBrowser1, &Browser::DownloadComplete, this, &frmMain::DownloadComplete);
    connect(lstUrl->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (!m_selectingInBulk)
            lstUrl_Click();
    });
    cmbURL->installEventFilter(this);
    cmbURL->lineEdit()->installEventFilter(this);
    connect(cmdSelAll, &QPushButton::clicked, this, &frmMain::cmdSelAll_Click);
    connect(cmdSelNone, &QPushButton::clicked, this, &frmMain::cmdSelNone_Click);
}

void frmMain::createMenus()
{
    auto action = [this](QMenu* menu, const char* name, const QString& caption, const QKeySequence& shortcut = {}) {
        QAction* item = menu->addAction(caption);
        item->setObjectName(QLatin1String(name));
        if (!shortcut.isEmpty())
            item->setShortcut(shortcut);
        return item;
    };
    auto separator = [](QMenu* menu, const char* name) {
        QAction* item = menu->addSeparator();
        item->setObjectName(QLatin1String(name));
        return item;
    };

    mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuOpen = action(mnuFile, "mnuOpen", QStringLiteral("&Open Configuration file ..."), QKeySequence(QStringLiteral("Ctrl+O")));
    mnuSave = action(mnuFile, "mnuSave", QStringLiteral("&Save Configuration file as ..."), QKeySequence(QStringLiteral("Ctrl+S")));
    mnuSeperate1 = separator(mnuFile, "mnuSeperate1");
    mnuQuit = action(mnuFile, "mnuQuit", QStringLiteral("&Quit"), QKeySequence(QStringLiteral("Ctrl+Q")));

    mnuEdit = menuBar()->addMenu(QStringLiteral("&Edit"));
    mnuEdit->setObjectName(QStringLiteral("mnuEdit"));
    mnuCopy = action(mnuEdit, "mnuCopy", QStringLiteral("&Copy"), QKeySequence(QStringLiteral("Ctrl+C")));
    mnuPaste = action(mnuEdit, "mnuPaste", QStringLiteral("&Paste"), QKeySequence(QStringLiteral("Ctrl+V")));

    mnuOther = menuBar()->addMenu(QStringLiteral("&Tools"));
    mnuOther->setObjectName(QStringLiteral("mnuOther"));
    mnuOptions = action(mnuOther, "mnuOptions", QStringLiteral("&Options ..."));
    mnuHistory = action(mnuOther, "mnuHistory", QStringLiteral("&History ..."));
    mnuSeperate2 = separator(mnuOther, "mnuSeperate2");
    mnuHelp = action(mnuOther, "mnuHelp", QStringLiteral("Help"), QKeySequence(Qt::Key_F1));
    mnuAbout = action(mnuOther, "mnuAbout", QStringLiteral("&About Pullmarker..."));

    connect(mnuOpen, &QAction::triggered, this, &frmMain::mnuOpen_Click);
    connect(mnuSave, &QAction::triggered, this, &frmMain::mnuSave_Click);
    connect(mnuQuit, &QAction::triggered, this, &frmMain::mnuQuit_Click);
    connect(mnuHelp, &QAction::triggered, this, &frmMain::mnuHelp_Click);
    connect(mnuCopy, &QAction::triggered, this, &frmMain::mnuCopy_Click);
    connect(mnuPaste, &QAction::triggered, this, &frmMain::mnuPaste_Click);
    connect(mnuOptions, &QAction::triggered, this, &frmMain::optionsRequested);
    connect(mnuHistory, &QAction::triggered, this, &frmMain::historyRequested);
    connect(mnuAbout, &QAction::triggered, this, &frmMain::aboutRequested);
}

void frmMain::setTabOrder()
{
    const QList<QWidget*> order = {cmdGo, cmbURL, lstUrl, cmdSelNone, cmdSelAll, cmdShowQue, cmdHome,
                                   cmdRefresh, cmdBack, cmdForward, cmdStop, cmdAdd, WebBrowser1};
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

qreal frmMain::dpiX() const
{
    return logicalDpiX() > 0 ? logicalDpiX() : 96;
}

qreal frmMain::dpiY() const
{
    return logicalDpiY() > 0 ? logicalDpiY() : 96;
}

void frmMain::placeTwips(QWidget* widget, const QRect& twips)
{
    widget->setGeometry(twipsToPixels(twips.x(), dpiX()), twipsToPixels(twips.y(), dpiY()),
                        twipsToPixels(twips.width(), dpiX()), twipsToPixels(twips.height(), dpiY()));
}

void frmMain::applyLayout()
{
    const MainLayout& l = m_layout;
    placeTwips(lblURL, l.lblURL);
    placeTwips(cmdGo, l.cmdGo);
    placeTwips(cmbURL, l.cmbURL);
    placeTwips(lstUrl, l.lstUrl);
    placeTwips(cmdSelNone, l.cmdSelNone);
    placeTwips(cmdSelAll, l.cmdSelAll);
    placeTwips(cmdShowQue, l.cmdShowQue);
    placeTwips(lblStatus, l.lblStatus);
    placeTwips(cmdHome, l.cmdHome);
    placeTwips(cmdRefresh, l.cmdRefresh);
    placeTwips(cmdBack, l.cmdBack);
    placeTwips(cmdForward, l.cmdForward);
    placeTwips(cmdStop, l.cmdStop);
    placeTwips(cmdAdd, l.cmdAdd);
    placeTwips(WebBrowser1, l.WebBrowser1);
}

bool frmMain::Form_Load()
{
    Settings& s = settings();
    s.strG_AppPath = m_appPath;                                                            // 1
    s.strG_IniFileName = m_appPath + QDir::separator() + QStringLiteral("Pullmark.ini");  // 2
    s.colG_Queue.clear();                                                                  // 3
    loadConfiguration(s.strG_IniFileName);                                                 // 4

    if (!s.bG_Disclaimer) {                                                                // 5
        if (!interaction().askYesNo(this, QStringLiteral("Legal Notice"), legalNoticeText(), MessageIcon::Critical))
            return false;
        s.bG_Disclaimer = true;
    }

    Timer1->start();                                                                       // 6

    if (s.strG_StartURL.compare(QLatin1String("home"), Qt::CaseInsensitive) == 0) {       // 7
        WebBrowser1->GoHome();
    } else if (s.strG_StartURL.compare(QLatin1String("last"), Qt::CaseInsensitive) == 0) {
        WebBrowser1->Navigate(cmbURL->count() > 0 ? cmbURL->itemText(0) : QString());
    }

    lblStatus->setText(QString());                                                         // 8

    // 9: outer size and place in twips.
    const QSize frameExtra = frameGeometry().size() - size();
    resize(twipsToPixels(kStartWidthTwips, dpiX()) - frameExtra.width(),
           twipsToPixels(kStartHeightTwips, dpiY()) - frameExtra.height());
    move(twipsToPixels(kStartLeftTwips, dpiX()), twipsToPixels(kStartTopTwips, dpiY()));

    cmdAdd->setEnabled(false);                                                             // 10
    mnuCopy->setEnabled(false);
    mnuPaste->setEnabled(false);
    m_loaded = true;
    return true;
}

QStringList frmMain::history() const
{
    QStringList entries;
    entries.reserve(cmbURL->count());
    for (int i = 0; i < cmbURL->count(); ++i)
        entries << cmbURL->itemText(i);
    return entries;
}

void frmMain::setHistory(const QStringList& entries)
{
    const QString text = cmbURL->currentText();
    const QSignalBlocker blocker(cmbURL);
    cmbURL->clear();
    cmbURL->addItems(entries);
    cmbURL->setEditText(text);
}

void frmMain::saveConfiguration(const QString& fileName)
{
    emit aboutToSaveConfiguration();
    SaveINI(fileName, history());
}

void frmMain::loadConfiguration(const QString& fileName)
{
    QStringList entries = history();
    const bool loaded = LoadINI(fileName, entries);
    setHistory(entries);
    if (loaded)
        CheckFileExists();
}

void frmMain::addOwnedWindow(QWidget* window)
{
    m_ownedWindows.append(window);
}

void frmMain::closeForSystem()
{
    m_closingForSystem = true;
    close();
}

void frmMain::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

void frmMain::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        Form_Resize();
}

void frmMain::Form_Resize()
{
    if (isMinimized())
        return;
    const QSize frameExtra = frameGeometry().size() - size();
    const int minWidth = twipsToPixels(kMinWindowWidthTwips, dpiX()) - frameExtra.width();
    const int minHeight = twipsToPixels(kMinWindowHeightTwips, dpiY()) - frameExtra.height();
    setMinimumSize(minWidth, minHeight);
    if (width() < minWidth || height() < minHeight) {
        resize(std::max(width(), minWidth), std::max(height(), minHeight));  // lays out again
        return;
    }
    const int W = pixelsToTwips(frameGeometry().width(), dpiX());
    const int H = pixelsToTwips(frameGeometry().height(), dpiY());
    m_layout = designLayout();
    applyResizeRules(m_layout, W, H);
    applyLayout();
}

void frmMain::Timer1_Timer()
{
    if (WebBrowser1->Busy()) {
        setWindowTitle(nextBusyCaption(windowTitle()));
    } else {
        Timer1->stop();
        setWindowTitle(WebBrowser1->LocationName());
    }
}

void frmMain::closeEvent(QCloseEvent* event)
{
    // The close is never cancelled: save first, then close the other windows.
    if (!m_shutdownDone) {
        m_shutdownDone = true;
        Form_QueryUnload();
        Form_Unload();
    }
    event->accept();
}

void frmMain::Form_QueryUnload()
{
    saveConfiguration(settings().strG_IniFileName);
}

void frmMain::Form_Unload()
{
    for (const QPointer<QWidget>& window : m_ownedWindows) {
        if (window)
            window->close();
    }
}

void frmMain::mnuOpen_Click()
{
    const std::optional<QString> chosen = interaction().openFileName(
        this, {QStringLiteral("Open Configuration file"), QStringLiteral("INI File (*.ini)"), QStringLiteral("ini"),
               settings().strG_IniFileName});
    if (!chosen)
        return;  // cancelled: nothing changes, nothing is reported
    loadConfiguration(*chosen);
}

void frmMain::mnuSave_Click()
{
    const std::optional<QString> chosen = interaction().saveFileName(
        this, {QStringLiteral("Save Configuration file as"), QStringLiteral("INI File (*.ini)"), QStringLiteral("ini"),
               settings().strG_IniFileName});
    if (!chosen)
        return;
    saveConfiguration(*chosen);
}

void frmMain::mnuQuit_Click()
{
    close();
}

void frmMain::mnuHelp_Click()
{
    cmbURL->setEditText(QString::fromLatin1(kUserGuideUrl));
    cmdGo_Click();
}

QStringList frmMain::foundUrls() const
{
    return m_foundModel->stringList();
}

QStringList frmMain::selectedFoundUrls() const
{
    QModelIndexList rows = lstUrl->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(), [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    QStringList urls;
    urls.reserve(rows.size());
    for (const QModelIndex& index : rows)
        urls << index.data().toString();
    return urls;
}

void frmMain::clearFoundList()
{
    m_foundModel->setStringList({});
}

void frmMain::showFoundCount()
{
    lblStatus->setText(QStringLiteral("Found ") + QString::number(m_foundModel->rowCount()) + QStringLiteral(" URL's."));
}

void frmMain::cmdGo_Click()
{
    if (bUpdatingHistory)
        return;
    Timer1->start();
    clearFoundList();
    showFoundCount();
    WebBrowser1->Navigate(cmbURL->currentText());
}

void frmMain::cmbURL_Click()
{
    cmdGo_Click();
}

void frmMain::cmdHome_Click()
{
    Timer1->start();
    clearFoundList();
    showFoundCount();
    WebBrowser1->GoHome();
}

void frmMain::cmdRefresh_Click()
{
    Timer1->start();
    clearFoundList();
    showFoundCount();
    WebBrowser1->Refresh();
}

void frmMain::cmdBack_Click()
{
    Timer1->start();
    WebBrowser1->GoBack();
}

void frmMain::cmdForward_Click()
{
    Timer1->start();
    WebBrowser1->GoForward();
}

void frmMain::cmdStop_Click()
{
    Timer1->stop();
    WebBrowser1->Stop();
    setWindowTitle(WebBrowser1->LocationName());
}

void frmMain::NavigateComplete2()
{
    setWindowTitle(WebBrowser1->LocationName());
    if (settings().bG_MaintainHistory)
        return;
    const QString address = WebBrowser1->LocationURL();
    if (!entersHistory(address))
        return;
    // Fixed-string matching ignores letter case.
    const int found = cmbURL->findText(address, Qt::MatchFixedString);
    bUpdatingHistory = true;
    if (found >= 0)
        cmbURL->removeItem(found);
    cmbURL->insertItem(0, address);
    // Selecting the entry in code counts as choosing it; the flag turns the Go
    // it runs into nothing, so recording a visit never starts a navigation.
    cmbURL->setCurrentIndex(0);
    cmbURL_Click();
    bUpdatingHistory = false;
}

void frmMain::cmbURL_GotFocus()
{
    mnuCopy->setEnabled(true);
    mnuPaste->setEnabled(true);
}

void frmMain::cmbURL_LostFocus()
{
    mnuCopy->setEnabled(false);
    mnuPaste->setEnabled(false);
}

bool frmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == cmbURL || (cmbURL && watched == cmbURL->lineEdit())) {
        switch (event->type()) {
        case QEvent::FocusIn:
            cmbURL_GotFocus();
            break;
        case QEvent::FocusOut: {
            // Opening a menu does not take the focus from the address box: the
            // Edit menu must stay usable for it. Moving between the box and its
            // line editor is no loss either.
            QWidget* now = QApplication::focusWidget();
            if (static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason && now != cmbURL
                && !cmbURL->isAncestorOf(now))
                cmbURL_LostFocus();
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

void frmMain::mnuCopy_Click()
{
    interaction().setClipboardText(cmbURL->currentText());
}

void frmMain::mnuPaste_Click()
{
    cmbURL->setEditText(interaction().clipboardText());
}

int frmMain::selectedFoundCount() const
{
    // Counted by ranges: Select All on 100,000 entries is one range.
    int count = 0;
    const QItemSelection selection = lstUrl->selectionModel()->selection();
    for (const QItemSelectionRange& range : selection)
        count += range.height();
    return count;
}

void frmMain::lstUrl_Click()
{
    const int selected = selectedFoundCount();
    lblStatus->setText(QStringLiteral("Found ") + QString::number(m_foundModel->rowCount())
                       + QStringLiteral(" URL's. You've selected ") + QString::number(selected)
                       + QStringLiteral(" items."));
    cmdAdd->setEnabled(selected > 0);
}

void frmMain::cmdSelAll_Click()
{
    const int rows = m_foundModel->rowCount();
    if (rows == 0)
        return;
    // One range instead of one change per entry; the report then runs once
    // and ends as the per-entry changes would have left it.
    m_selectingInBulk = true;
    lstUrl->selectionModel()->select(QItemSelection(m_foundModel->index(0), m_foundModel->index(rows - 1)),
                                     QItemSelectionModel::Select);
    m_selectingInBulk = false;
    lstUrl_Click();
}

void frmMain::cmdSelNone_Click()
{
    if (m_foundModel->rowCount() > 0) {
        m_selectingInBulk = true;
        lstUrl->selectionModel()->clearSelection();
        m_selectingInBulk = false;
        lstUrl_Click();
    }
    cmdAdd->setEnabled(false);
}

void frmMain::DownloadComplete()
{
    // Before the first load the browser shows no document of its own (its
    // empty placeholder page is not one to scan).
    if (WebBrowser1->url().isEmpty()) {
        emit scrapeFinished(false);
        return;
    }
    const Settings& s = settings();
    const int generation = WebBrowser1->loadGeneration();
    QPointer<frmMain> self(this);
    // The result is applied from an event of its own, not inside the browser's
    // callback: an error question may open a modal box there, and the browser
    // must go on working while it is open.
    WebBrowser1->page()->runJavaScript(
        scrapeScript(s.bG_ScrapeLink, s.bG_ScrapeEmbedded), QWebEngineScript::ApplicationWorld,
        [self, generation](const QVariant& result) {
            if (self) {
                QMetaObject::invokeMethod(
                    self, [self, generation, result] { if (self) self->applyScan(generation, result); },
                    Qt::QueuedConnection);
            }
        });
}

void frmMain::applyScan(int generation, const QVariant& result)
{
    // A result read before a newer load started belongs to a page no longer
    // on display.
    auto stale = [this, generation] { return generation != WebBrowser1->loadGeneration(); };
    if (stale()) {
        emit scrapeFinished(false);
        return;
    }

    ErrorScope scope(QStringLiteral("DownloadComplete."));
    const PageScan page = parsePageScan(result);
    if (!page.hasDocument) {  // 1: no document, nothing changes
        emit scrapeFinished(false);
        return;
    }
    if (!page.error.isEmpty()) {  // 1: not an HTML document: there is no page
        scope.report(RuntimeError::of(ErrTypeMismatch, page.error));
        emit scrapeFinished(false);
        return;
    }

    FoundListBuilder found(settings().strG_FileExt);  // 2
    const bool scanLinks = settings().bG_ScrapeLink;
    const bool scanImages = settings().bG_ScrapeEmbedded;
    for (const ScannedDocument& doc : page.documents) {  // 3, 4
        if (doc.kind == ScannedDocument::Unreadable) {
            // The frame is skipped. Scanning the document before it again, as
            // the scan goes on, could add nothing new.
            const bool carryOn = scope.report(RuntimeError::of(ErrPermissionDenied, doc.error));
            if (stale()) {  // a newer page arrived while the question was open
                emit scrapeFinished(false);
                return;
            }
            if (!carryOn) {
                m_foundModel->setStringList(found.urls());
                emit scrapeFinished(true);
                return;
            }
            continue;
        }
        if (doc.kind == ScannedDocument::Missing)
            continue;
        if (scanLinks)
            found.offerAll(doc.links);
        if (scanImages)
            found.offerAll(doc.images);
    }
    m_foundModel->setStringList(found.urls());

    cmbURL->setEditText(page.url);                 // 5
    setWindowTitle(WebBrowser1->LocationName());   // 6
    showFoundCount();                              // 7
    cmdAdd->setEnabled(selectedFoundCount() > 0);  // 8
    emit scrapeFinished(true);
}

void frmMain::mnuOptions_Click()
{
    runModal(Options());
}

void frmMain::mnuHistory_Click()
{
    m_history->Form_Load();
    runModal(*m_history);
}

void frmMain::mnuAbout_Click()
{
    frmAbout window(this);
    runModal(window);
}

}  // namespace pm
