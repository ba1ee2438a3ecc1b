#pragma once
// Asks the servers about found entries before anything is downloaded: what
// each address is (its type and size), where it leads after redirects, and
// whether it can be had at all. Each address gets a HEAD request; where the
// server refuses HEAD (405, 501, or no answer to it), a GET of its first
// byte only. At most four probes run at once and two per server; the rest
// wait in the order they were asked for. Results are kept for the program's
// run, so an address is asked about once. Nothing here waits: results come
// as signals.

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <deque>
#include <list>
#include <map>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;

namespace pm {

class WebSession;

struct ProbeResult {
    int status = 0;          // the final response's HTTP status; 0 when none came
    QString contentType;     // the Content-Type header as sent
    qint64 size = -1;        // bytes of the whole file, -1 when the server did not tell
    QString finalUrl;        // the address after redirects
    QString networkError;    // why no response came; "" when one did
    bool rangedGet = false;  // HEAD was refused: the answer is a GET's of the first byte
    QByteArray contentDisposition;  // the header as sent; it may name the file

    bool reached() const { return status > 0; }
    bool available() const { return status >= 200 && status < 400; }
};

class UrlProber : public QObject {
    Q_OBJECT
public:
    explicit UrlProber(QObject* parent = nullptr);
    ~UrlProber() override;

    // Queues the addresses not asked about yet, in order, each once, as
    // found on the page `foundOn` ("" when unknown; it is their Referer).
    // Addresses known already are answered from the cache, from the event
    // loop. Returns at once whatever the number of addresses.
    void probe(const QStringList& urls, const QString& foundOn = QString());
    // The session the probes are made in (nullptr: plain requests). It must
    // outlive the prober.
    void setSession(WebSession* session);
    // What the server said about `url` in this run, if it has been asked.
    std::optional<ProbeResult> result(const QString& url) const;
    // Drops every waiting probe and ends the running ones, for when another
    // page is scanned: no signal comes for them, and nothing is cached.
    void cancelAll();
    int waitingCount() const { return int(m_waitingCount + m_answers.size()); }
    int runningCount() const { return int(m_running.size()); }

    static constexpr int kMostAtOnce = 4;
    static constexpr int kMostPerServer = 2;
    // A probe that receives nothing for this long fails.
    static constexpr int kTimeoutMs = 20 * 1000;

signals:
    void probed(const QString& url, const ProbeResult& result);
    // Every queued address has been answered.
    void idle();

private:
    struct Running {
        QString url;
        QString server;
        QNetworkReply* reply = nullptr;
        ProbeResult result;
        bool get = false;         // the ranged GET after a refused HEAD
        bool haveAnswer = false;  // the final response's headers came
        bool redirected = false;
    };
    struct Server {
        std::deque<std::pair<quint64, QString>> waiting;  // (order, address)
        int running = 0;
    };

    void startWaiting();
    void send(Running& probe);
    void onMetaData(Running& probe);
    void onFinished(Running& probe);
    void answer(const QString& url, const ProbeResult& result);
    void deliverCached();
    void markReady(const QString& server);

    QNetworkAccessManager* m_network;
    WebSession* m_session = nullptr;
    QHash<QString, QString> m_foundOn;      // waiting or running address -> its page, when known
    QHash<QString, ProbeResult> m_cache;
    QSet<QString> m_pending;                // addresses waiting or running
    QHash<QString, Server> m_servers;       // by "host:port"
    std::map<quint64, QString> m_ready;     // first waiting address's order -> its server, for servers with a free place
    std::list<Running> m_running;
    std::deque<QString> m_answers;          // known addresses to answer from the cache
    qsizetype m_waitingCount = 0;
    quint64 m_nextOrder = 0;
    bool m_deliveryDue = false;
};

}  // namespace pm
