#pragma once
// The main window: the browser, the address box with its history, the found
// list and the commands that drive the rest of the program.

#include "app/mainlayout.h"

#include <QMainWindow>
#include <QPointer>
#include <QStringList>

class QAction;
class QComboBox;
class QLabel;
class QListView;
class QMenu;
class QPushButton;
class QStringListModel;
class QTimer;
class QVariant;
class QWebEngineProfile;

namespace pm {

class Browser;
class frmProgress;
class frmHistory;

class frmMain : public QMainWindow {
    Q_OBJECT
public:
    // The address of the on-line user guide that Help opens.
    static const char* const kUserGuideUrl;

    // `appPath` is the program folder (the executable's folder in the real
    // program, a temporary folder in tests).
    frmMain(QWebEngineProfile* profile, const QString& appPath, QWidget* parent = nullptr);
    ~frmMain() override;

    // Start-up. Returns false when the user declined the legal notice: the
    // program must then end at once, with nothing saved.
    bool Form_Load();

    // The address history: the address box's list, most recent first.
    QStringList history() const;
    void setHistory(const QStringList& entries);

    // Configuration file with this window's address history. Before a save,
    // aboutToSaveConfiguration() lets a loaded queue window bring the stored
    // queue up to date.
    void saveConfiguration(const QString& fileName);
    void loadConfiguration(const QString& fileName);

    // Windows closed, in this order, when the main window closes.
    void addOwnedWindow(QWidget* window);

    // Closing because the system asks (SIGTERM, desktop session ending).
    void closeForSystem();
    bool closingForSystem() const { return m_closingForSystem; }
    // Start-up has finished (the legal notice was accepted).
    bool loaded() const { return m_loaded; }

    Browser* browser() const { return WebBrowser1; }
    QComboBox* addressBox() const { return cmbURL; }
    QListView* foundList() const { return lstUrl; }
    QStringListModel* foundModel() const { return m_foundModel; }
    // The found list's entries, and the selected ones in list order.
    QStringList foundUrls() const;
    QStringList selectedFoundUrls() const;
    QTimer* busyTimer() const { return Timer1; }
    const MainLayout& currentLayout() const { return m_layout; }

    // The Work Queue window, created and loaded (hidden) on first use.
    frmProgress* workQueueWindow();

    // Handlers.
    void cmdAdd_Click();
    void cmdShowQue_Click();
    void Form_Resize();
    void Timer1_Timer();
    void Form_QueryUnload();
    void Form_Unload();
    void mnuOpen_Click();
    void mnuSave_Click();
    void mnuQuit_Click();
    void mnuHelp_Click();
    void cmdGo_Click();
    void cmbURL_Click();
    void cmdHome_Click();
    void cmdRefresh_Click();
    void cmdBack_Click();
    void cmdForward_Click();
    void cmdStop_Click();
    void NavigateComplete2();
    void cmbURL_GotFocus();
    void cmbURL_LostFocus();
    // The page scraper: reads the page on display and rebuilds the found list
    // when the result arrives (scrapeFinished).
    void DownloadComplete();
    void lstUrl_Click();
    void cmdSelAll_Click();
    void cmdSelNone_Click();
    void mnuCopy_Click();
    void mnuPaste_Click();
    // How many found entries are selected.
    int selectedFoundCount() const;
    // Tools menu: the Options dialog, the History and About windows, modal.
    void mnuOptions_Click();
    void mnuHistory_Click();
    void mnuAbout_Click();

signals:
    void aboutToSaveConfiguration();
    // Raised by Options/History/About until their windows exist.
    void optionsRequested();
    void historyRequested();
    void aboutRequested();
    // A scan of the page ended; `applied` is false when it changed nothing
    // (no document, a document that is not HTML, or a result that belongs to
    // an earlier load).
    void scrapeFinished(bool applied);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void createMenus();
    void setTabOrder();
    void applyLayout();
    void placeTwips(QWidget* widget, const QRect& twips);
    qreal dpiX() const;
    qreal dpiY() const;
    void clearFoundList();
    void showFoundCount();
    void applyScan(int generation, const QVariant& result);

    QString m_appPath;
    QWebEngineProfile* m_profile;
    MainLayout m_layout;
    bool m_loaded = false;
    bool m_closingForSystem = false;
    bool m_shutdownDone = false;
    QList<QPointer<QWidget>> m_ownedWindows;
    frmProgress* m_queueWindow = nullptr;  // no owner: deleted with this window
    bool m_selectingInBulk = false;  // Select All/None report once, at the end
    frmHistory* m_history = nullptr;  // refilled each time it opens

public:
    // Controls, named as the rest of the program and the tests know them.
    bool bUpdatingHistory = false;
    QLabel* lblURL = nullptr;
    QPushButton* cmdGo = nullptr;
    QComboBox* cmbURL = nullptr;
    QListView* lstUrl = nullptr;
    QPushButton* cmdSelNone = nullptr;
    QPushButton* cmdSelAll = nullptr;
    QPushButton* cmdShowQue = nullptr;
    QLabel* lblStatus = nullptr;
    QPushButton* cmdHome = nullptr;
    QPushButton* cmdRefresh = nullptr;
    QPushButton* cmdBack = nullptr;
    QPushButton* cmdForward = nullptr;
    QPushButton* cmdStop = nullptr;
    QPushButton* cmdAdd = nullptr;
    Browser* WebBrowser1 = nullptr;
    QTimer* Timer1 = nullptr;
    QStringListModel* m_foundModel = nullptr;

    QMenu* mnuFile = nullptr;
    QAction* mnuOpen = nullptr;
    QAction* mnuSave = nullptr;
    QAction* mnuSeperate1 = nullptr;
    QAction* mnuQuit = nullptr;
    QMenu* mnuEdit = nullptr;
    QAction* mnuCopy = nullptr;
    QAction* mnuPaste = nullptr;
    QMenu* mnuOther = nullptr;
    QAction* mnuOptions = nullptr;
    QAction* mnuHistory = nullptr;
    QAction* mnuSeperate2 = nullptr;
    QAction* mnuHelp = nullptr;
    QAction* mnuAbout = nullptr;
};

// The legal notice shown on the first start.
QString legalNoticeText();

}  // namespace pm
