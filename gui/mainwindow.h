#pragma once
// The main window: the browser, the address box with its history, the found
// list of the page on display, and the commands that drive the rest of the
// program (the queue, the configuration file, the Options, History and About
// windows).

#include "core/found/scanschedule.h"

#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <QUrl>

#include <functional>

class QAction;
class QComboBox;
class QDialog;
class QTimer;
class QWebEngineProfile;

namespace pm {

class AppContext;
class BrowserSessionLink;
class BrowserView;
class FoundListPanel;
class HistoryDialog;
class LinkedPagesCommand;
class OptionsDialog;
class PageScanner;
class WorkQueueWindow;
struct ScanResult;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(AppContext& context, QWebEngineProfile* profile, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Start-up: reads the configuration file, asks for the legal notice on a
    // first start and opens the start page. Returns false when the user
    // declined the notice: the program must then end at once, with nothing
    // saved.
    bool start();
    bool started() const { return m_started; }
    // The page start() opens instead of the start page the settings name
    // (the address given on the command line); empty: that start page.
    void setFirstPage(const QUrl& page) { m_firstPage = page; }
    // Opens `page` now, as if its address had been typed (an address given
    // to another Pullmark started meanwhile).
    void openPage(const QUrl& page);
    // Makes the profile the browser uses once the user has accepted the
    // legal notice, before the first page opens (a profile kept on disk
    // writes to its folder as soon as it is made).
    void setProfileMaker(std::function<QWebEngineProfile*()> maker) { m_profileMaker = std::move(maker); }

    // How the program's own windows are shown modally (tests inspect them
    // instead of blocking). The default runs the dialog's exec().
    void setModalRunner(std::function<void(QDialog&)> runner) { m_runModal = std::move(runner); }

    // Closing because the system asks (SIGTERM, the desktop session ending):
    // a running download session stops without a question.
    void closeForSystem();

    BrowserView* browser() const { return m_browser; }
    FoundListPanel* foundList() const { return m_foundList; }
    PageScanner* scanner() const { return m_scanner; }
    LinkedPagesCommand* linkedPages() const { return m_linkedPages; }
    OptionsDialog* optionsDialog() const { return m_options; }
    // The Work Queue window, created on first use.
    WorkQueueWindow* workQueueWindow();

public slots:
    void navigateToAddress();
    void goHome();
    void reloadPage();
    void goBack();
    void goForward();
    void stopLoading();
    // Reads the pages the page on display links to and adds the files they
    // hold to the found list; Stop ends it.
    void harvestLinkedPages();
    void showQueue();
    void openConfiguration();
    void saveConfigurationAs();
    void showOptions();
    void showHistory();
    void showAbout();
    // Opens the user guide at `section` (a heading's anchor; empty: the
    // top) through the address box, as if typed there.
    void showUserGuide(const QString& section = QString());
    // Asks first, then forgets every cookie (sign-ins included) and empties
    // the browser's cache.
    void clearCookiesAndCache();
    void copyAddress();
    void pasteAddress();

signals:
    // The scan at a finished load ended; `applied` is false when it changed
    // nothing (no document, a document that is not HTML, or a result that
    // belongs to an earlier load).
    void scanFinished(bool applied);
    // A scan made while the page loads, once a document of it had been
    // parsed, ended; `applied` as above.
    void earlyScanFinished(bool applied);
    // A scan made because the page changed after it was read ended.
    void liveScanFinished(bool applied);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void createMenus();
    // A scanner for the browser's page (a new one for a new page).
    void makeScanner();
    // Reads a configuration file, then makes sure its folders exist.
    void loadConfiguration(const QString& fileName);
    void checkPathsAfterLoad();
    void runModal(QDialog& dialog);
    // Go, Home and Refresh: the found list empties and the busy indicator runs.
    void beginNavigation();
    void tickBusyIndicator();
    void recordVisit();
    // Shows a found list the scanner built, with the page's address and,
    // at the load's end, its title.
    void showScanResult(const ScanResult& result);
    void scanEnded(ScanTrigger trigger, bool applied);
    void setEditActionsEnabled(bool enabled);

    AppContext& m_context;
    QWebEngineProfile* m_profile;
    std::function<QWebEngineProfile*()> m_profileMaker;
    BrowserSessionLink* m_sessionLink = nullptr;
    QUrl m_firstPage;
    bool m_started = false;
    bool m_shutDown = false;
    bool m_closingForSystem = false;
    std::function<void(QDialog&)> m_runModal;

    QComboBox* m_addressBox = nullptr;
    FoundListPanel* m_foundList = nullptr;
    BrowserView* m_browser = nullptr;
    QTimer* m_busyTimer = nullptr;
    QAction* m_copyAction = nullptr;
    QAction* m_pasteAction = nullptr;
    OptionsDialog* m_options = nullptr;
    HistoryDialog* m_history = nullptr;
    WorkQueueWindow* m_queueWindow = nullptr;  // no owner: deleted with this window

    PageScanner* m_scanner = nullptr;
    LinkedPagesCommand* m_linkedPages = nullptr;
    QString m_addressShown;  // what this load's scans put in the address box
};

// The legal notice shown on the first start.
QString legalNoticeText();

}  // namespace pm
