#pragma once
// Reads what a list of pages holds, two at a time, in hidden pages of the
// browser profile the user browses with (so that sign-ins and cookies
// apply): the pages a gallery's thumbnails lead to, which hold the
// full-size photos and the videos. Each page is read by the rules the page
// on display is read by, its embedded items always, as soon as its
// documents and frames are in; its images are not fetched for it.
//
// What each page holds comes out in the order of the list, whatever order
// the pages end in. A page that fails (an HTTP error, no answer, not an
// HTML document) or has not been read within the time limit comes out as
// failed and is logged; nothing is asked.

#include <QList>
#include <QObject>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

class QWebEngineProfile;

namespace pm {

class ErrorReporter;
class HiddenScanPage;
class Settings;
struct ScanResult;

class LinkedPageHarvest : public QObject {
    Q_OBJECT
public:
    // `profile` must outlive this. Problems of the pages read are logged
    // through `errors`, never asked about.
    LinkedPageHarvest(QWebEngineProfile* profile, const Settings& settings, ErrorReporter& errors,
                      QObject* parent = nullptr);
    ~LinkedPageHarvest() override;

    // The longest a page may take to be read.
    static constexpr int kTimeLimitMs = 20 * 1000;
    // Once a page's document has been read, the longest its load may go on
    // (for its frames, or for its answer's status) before it is taken as read.
    static constexpr int kSettleMs = 3 * 1000;
    static constexpr int kPagesAtOnce = 2;
    void setTimeLimit(int ms) { m_timeLimitMs = ms; }

    // Reads `pages` (addresses, each once); stops a harvest that runs.
    // Signals follow from the event loop.
    void start(const QStringList& pages);
    // Ends at once: the pages being read are closed, what was read is kept
    // (the pages read come out in order, the ones not read do not), and
    // finished() follows.
    void stop();
    bool isRunning() const { return m_running; }

    int pageCount() const { return int(m_pages.size()); }
    // Pages read or failed so far, in any order.
    int doneCount() const { return m_done; }
    int failedCount() const { return m_failed; }

signals:
    // What the page the link `page` leads to holds: its found list under
    // the rules, in order. `address` is where its document was read (the
    // link's target after any redirect), the page its entries were found on.
    void pageRead(const QString& page, const QString& address, const QStringList& found);
    void pageFailed(const QString& page, const QString& reason);
    // A page was read or failed; `done` of `count`.
    void progressed(int done, int count);
    // Every page read or failed, or the harvest stopped.
    void finished();

private:
    struct Reader;
    struct Outcome {
        bool read = false;
        QString address;
        QStringList found;
        QString reason;  // why it failed
    };

    void readNext(Reader& reader);
    void listReady(Reader& reader, const ScanResult& result);
    void loadEnded(Reader& reader, bool applied);
    void typeChecked(HiddenScanPage* page, const QString& type);
    void timeUp(Reader& reader);
    void finishPage(Reader& reader, Outcome outcome);
    void handOutInOrder();
    QString addressOf(int index, const Outcome& outcome) const;
    void endIfDone();
    void disconnectReader(Reader& reader);
    void closeReader(Reader& reader);
    void closeReaders();
    std::unique_ptr<Reader> makeReader();

    QWebEngineProfile* m_profile;
    const Settings& m_settings;
    ErrorReporter& m_errors;
    int m_timeLimitMs = kTimeLimitMs;
    std::vector<std::unique_ptr<Reader>> m_readers;

    QStringList m_pages;
    QList<std::optional<Outcome>> m_outcomes;  // by page, until handed out
    int m_next = 0;       // the next page to read
    int m_handedOut = 0;  // pages whose outcome came out
    int m_done = 0;
    int m_failed = 0;
    bool m_running = false;
    int m_run = 0;  // numbers the harvests started, and stops
};

}  // namespace pm
