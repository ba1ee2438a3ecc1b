#pragma once
// One HTTP(S) transfer at a time on a shared CurlMulti engine. fetch()
// streams the body into a device as it arrives; finished() is always
// delivered from the event loop, never from inside fetch() or cancel(), so a
// caller that cancels can finish its own handler first. The transfer follows
// redirects itself, so that every hop carries the session's cookies and
// Referer for its own address and the policy on schemes is the program's.

#include "core/download/backgroundhash.h"
#include "core/download/contenthash.h"
#include "core/download/curlmulti.h"
#include "core/diagnostics/errors.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <optional>

class QFile;
typedef void CURL;
struct curl_slist;

namespace pm {

class WebSession;

// Where an interrupted body goes on: the bytes the sink holds already, and
// the validator (ETag or Last-Modified) of the response they came from.
struct ResumePoint {
    qint64 offset = 0;
    QByteArray validator;
};

class Transfer : public QObject {
    Q_OBJECT
public:
    Transfer(CurlMulti* engine, QObject* parent = nullptr);
    ~Transfer() override;

    // Whether `url` is one a transfer fetches: http and https.
    static bool supportedScheme(const QUrl& url);
    // The session whose cookies, user agent and sign-ins the requests carry,
    // and which keeps the cookies the answers set (nullptr: none). It must
    // outlive this transfer.
    void setSession(WebSession* session) { m_session = session; }
    // The certificates (a PEM file) a server's certificate must chain to, in
    // place of the system's CA bundle: for tests against a loopback server
    // with a certificate of its own. Verification of the server's
    // certificate and name stays on whatever the file; the program itself
    // never calls this.
    void setCaFile(const QString& path);

    // Starts fetching `url`; the body goes to `sink` (nullptr: discarded).
    // With a resume point the rest is asked for; a server that answers with
    // the whole body instead empties the sink first. `foundOn`, the page the
    // address was found on, is the Referer. Only http and https are fetched;
    // anything else ends at once in failure.
    void fetch(const QString& url, QFile* sink, const ResumePoint& resume = {}, const QString& foundOn = QString());
    // The named header of the last response ("" when there is none).
    QString headerText(const QByteArray& name) const;
    bool running() const { return m_running || m_finishPending; }
    // Ends the running transfer; finished() follows from the event loop.
    void cancel();

    // The outcome of the last fetch.
    bool failed() const { return m_failed; }
    bool cancelled() const { return m_cancelled; }
    // Writing to the sink failed; sinkErrno() tells why.
    bool sinkFailed() const { return m_sinkErrno != 0; }
    int sinkErrno() const { return m_sinkErrno; }
    RuntimeError error() const { return m_error; }
    // A failure that may well pass: the connection refused, reset or timed
    // out, or the status 408, 429, 500, 502, 503 or 504.
    bool transientFailure() const { return m_transient; }
    // The server's partial answer was not the part asked for (416, a 206
    // to a request without Range, a Content-Range that does not fit, a
    // changed validator): nothing of it was written; fetch the whole body
    // again. error() tells why.
    bool restartNeeded() const { return m_restartNeeded; }
    // The last response's HTTP status (0 before one came).
    int status() const { return m_status; }
    // Bytes of this response's body.
    qint64 bytesReceived() const { return m_received; }
    // Where the body written to the sink started: the resume offset when the
    // server sent the rest, 0 when it sent the whole.
    qint64 bodyStart() const { return m_bodyStart; }
    // The whole resource's size when the server told it, else -1.
    qint64 totalSize() const { return m_total; }
    // The response's ETag, or its Last-Modified when it has none.
    QByteArray validator() const { return m_validator; }
    // Seconds the server asks to wait before trying again, -1 when it did not.
    int retryAfterSeconds() const { return m_retryAfter; }
    // The address of the last response, after redirects.
    QString finalUrl() const { return m_finalUrl; }
    // The protected area the server asked a sign-in for, when it asked for
    // one (see WebSession).
    std::optional<QString> signInRealm() const { return m_signInRealm; }
    // The SHA-256 of what the sink holds, kept up as the body is written. A
    // fetch from the first byte, or a server that sends the whole body
    // again, starts it anew; a resumed fetch expects it to cover the kept
    // part already, and it is invalid otherwise.
    ContentHash& contentHash() { return m_hash; }

    // Bytes written and handed to the hash at a time, and what libcurl
    // reads at once: every piece costs a system call, a hand-over to the
    // hashing thread and a progress signal. A 1 GiB download took about a
    // tenth less processor time with pieces of 64 KiB to 1 MiB, all about
    // alike, than with the pieces of 16 KiB that libcurl hands over itself.
    static constexpr long kPiece = 256 * 1024;
    // A body hashes beside the transfer from this many bytes on; a smaller
    // one is hashed as it is written, which costs less than the hand-over.
    static constexpr qint64 kHashBesideFrom = 1024 * 1024;
    // A transfer that receives nothing for this long fails.
    static constexpr int kStallTimeoutSeconds = 60;
    // An answer's headers may take this much: a server whose headers never
    // end fails at once instead of filling memory.
    static constexpr int kMaxHeaderBytes = 256 * 1024;
    static constexpr int kMaxHeaderLines = 1000;
    // Redirects followed, at most.
    static constexpr int kMaxRedirects = 50;
    // An answer whose headers are not complete this long after the request
    // fails, whatever bytes arrive: headers that drip in below the size cap.
    static constexpr int kHeaderDeadlineMs = 30 * 1000;
    void setHeaderDeadline(int ms) { m_headerDeadline.setInterval(ms); }

signals:
    void finished();
    void progress(qint64 received, qint64 total);

private:
    // One request of the fetch: the first, or one a redirect or a sign-in leads to.
    void request(const QUrl& url);
    static size_t onHeaderLine(char* data, size_t size, size_t count, void* self);
    static size_t onBody(char* data, size_t size, size_t count, void* self);
    bool headerLine(QByteArrayView line);
    // The headers of a response are complete; false ends the transfer.
    bool headersEnded();
    bool writeBody(QByteArrayView data);
    // Writes and hashes the body gathered so far; false when the sink failed.
    bool writePending();
    void onDone(int curlCode);
    bool followRedirect();
    bool answerSignIn();
    // Ends the running request now, outside libcurl's callbacks.
    void abort();
    void complete(int curlCode);
    void fail(const RuntimeError& error);
    void deliverFinished();
    QByteArray responseHeader(const QByteArray& name) const;
    // Why a 206 answer is not the part asked for; "" when it is.
    QString partialAnswerProblem(const QByteArray& contentRange);

    QPointer<CurlMulti> m_engine;  // may go first, when both go with their parent
    CURL* m_easy;
    curl_slist* m_requestHeaders = nullptr;
    WebSession* m_session = nullptr;
    QString m_foundOn;
    QUrl m_url;                      // of the request under way
    QByteArray m_redirectTo;         // the Location of a redirect answer
    int m_redirects = 0;
    bool m_signInTried = false;
    std::optional<QString> m_signInRealm;
    QFile* m_sink = nullptr;
    ResumePoint m_resume;
    qint64 m_bodyStart = 0;
    QByteArray m_validator;
    int m_retryAfter = -1;
    bool m_transient = false;
    bool m_restartNeeded = false;
    QString m_refusal;             // why the answer was refused
    qint64 m_partLength = -1;      // bytes an accepted 206 announced in Content-Range
    QTimer m_headerDeadline;
    QList<QPair<QByteArray, QByteArray>> m_headers;  // of the response under way
    int m_headerBytes = 0;
    int m_headerLines = 0;
    bool m_headersEnded = false;
    bool m_bodyWanted = false;       // this response's body is the file's
    ContentHash m_hash;
    BackgroundHash m_besideHash{m_hash};
    QByteArray m_pending;           // body received, not yet written
    QString m_finalUrl;
    qint64 m_received = 0;
    qint64 m_total = -1;
    int m_status = 0;
    QString m_reason;               // the status line's reason phrase
    int m_sinkErrno = 0;
    bool m_running = false;
    bool m_failed = false;
    bool m_cancelled = false;
    bool m_finishPending = false;
    RuntimeError m_error;
};

}  // namespace pm
