#pragma once
// Reads what pages list, one after another, in a browser page nobody sees:
// each page is loaded in the program's browser profile and its found list
// read under the configured rules, as the window reads the page on display,
// once its load has ended. A page that never ends loading is stopped after a
// while and read as it is then. When asked, the pages each page links to
// are read too, as the window's "Harvest Linked Pages" reads them, before
// the next page.

#include <QObject>
#include <QSet>
#include <QStringList>
#include <QTimer>

#include <optional>

class QWebEngineLoadingInfo;
class QWebEngineProfile;

namespace pm {

class ErrorReporter;
class LinkedPageHarvest;
class PageScanner;
class ScanPage;
class Settings;
enum class ScanTrigger;
struct ScanResult;

// The files a page lists that no page read before it listed, in order: the
// page is where they were found, the Referer of their downloads.
struct FoundOnPage {
    QString page;
    QStringList files;
};

class PageHarvest : public QObject {
    Q_OBJECT
public:
    // `profile` must outlive this.
    PageHarvest(QWebEngineProfile* profile, const Settings& settings, ErrorReporter& errors, QObject* parent = nullptr);
    ~PageHarvest() override;

    // Whether the pages each page links to are read too.
    void setFollowLinks(bool follow) { m_followLinks = follow; }
    // Reads `pages` in order; finished() follows from the event loop.
    void start(const QStringList& pages);
    // Ends the page being read; finished() follows with what was found.
    void stop();

    // How long a page may load before it is stopped and read as it is.
    static constexpr int kPageTimeoutMs = 60 * 1000;
    // How long a stopped page may take to end.
    static constexpr int kStopTimeoutMs = 10 * 1000;

signals:
    void pageStarted(const QString& url, int number, int count);
    void pageRead(const QString& url, int found);
    void pageFailed(const QString& url, const QString& reason);
    // The page did not finish loading in time and was read as it was.
    void pageStopped(const QString& url);
    // The pages `url` links to are being read: `count` of them.
    void followingLinks(const QString& url, int count);
    // A page a page links to could not be read.
    void linkedPageFailed(const QString& url, const QString& reason);
    // Every page's entries, in the order found, each once.
    void finished(const QList<pm::FoundOnPage>& found);

private:
    void loadNext();
    void listReady(const ScanResult& result);
    void scanEnded(ScanTrigger trigger, bool applied);
    void loadingChanged(const QWebEngineLoadingInfo& info);
    void timedOut();
    void endPage();
    void followLinks();
    void addFound(const QString& page, const QStringList& files);

    const Settings& m_settings;
    ScanPage* m_page;
    PageScanner* m_scanner;
    LinkedPageHarvest* m_linked;
    bool m_followLinks = false;
    QStringList m_pages;
    int m_next = 0;
    QString m_current;                 // the page being read; "" between pages
    QString m_documentUrl;             // its address after redirects
    QStringList m_pageList;            // what it lists
    QSet<QString> m_pageKeys;
    std::optional<QString> m_loadError;
    bool m_stoppedInTime = true;
    bool m_stopping = false;
    QList<FoundOnPage> m_found;
    QSet<QString> m_foundKeys;  // case-folded
    QTimer m_timeout;
};

}  // namespace pm
