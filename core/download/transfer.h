#pragma once
// One HTTP(S) transfer at a time over a shared QNetworkAccessManager. fetch()
// streams the body into a device as it arrives; finished() is always
// delivered from the event loop, never from inside fetch() or cancel(), so a
// caller that cancels can finish its own handler first.

#include "core/download/contenthash.h"
#include "core/diagnostics/errors.h"

#include <QByteArray>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <optional>

class QFile;
class QNetworkAccessManager;

namespace pm {

class WebSession;

// A header of the last response of `reply`'s redirect chain: QNetworkReply
// joins the values of every response with ", ".
QByteArray finalResponseHeader(const QNetworkReply* reply, const QByteArray& name, bool redirected);

// Where an interrupted body goes on: the bytes the sink holds already, and
// the validator (ETag or Last-Modified) of the response they came from.
struct ResumePoint {
    qint64 offset = 0;
    QByteArray validator;
};

class Transfer : public QObject {
    Q_OBJECT
public:
    Transfer(QNetworkAccessManager* manager, QObject* parent = nullptr);
    ~Transfer() override;

    // Whether `url` is one a transfer fetches: http and https.
    static bool supportedScheme(const QUrl& url);
    // The session whose cookies, user agent and sign-ins the requests carry
    // (nullptr: none). It must outlive this transfer.
    void setSession(const WebSession* session) { m_session = session; }

    // Starts fetching `url`; the body goes to `sink` (nullptr: discarded).
    // With a resume point the rest is asked for; a server that answers with
    // the whole body instead empties the sink first. `foundOn`, the page the
    // address was found on, is the Referer. Only http and https are fetched;
    // anything else ends at once in failure.
    void fetch(const QString& url, QFile* sink, const ResumePoint& resume = {}, const QString& foundOn = QString());
    // The named header of the last response ("" when there is none).
    QString headerText(const QByteArray& name) const;
    bool running() const { return m_reply != nullptr || m_finishPending; }
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

    // Bytes read, written and hashed at a time: a piece this small is still
    // in the processor's cache when it is hashed after being written, where
    // larger ones are read from memory twice. A 1 GiB download took a third
    // less processor time with 64 KiB pieces than with 1 MiB ones.
    static constexpr qint64 kPiece = 64 * 1024;
    // What the reply may hold before Qt Network stops reading the socket:
    // little enough that memory does not grow with a fast server (during a
    // download of a whole GiB the program grew by about 50 MiB with an 8 MiB
    // buffer and by 30 MiB with this one, at the same speed), and enough that
    // a body cut off early keeps what had arrived:
    // when the server drops the connection while this buffer is full, Qt
    // Network reports the drop without reading the bytes left in the socket.
    static constexpr qint64 kReadBuffer = 2 * 1024 * 1024;
    // A transfer that receives nothing for this long fails.
    static constexpr int kStallTimeoutMs = 60 * 1000;
    // An answer whose headers are not complete this long after the request
    // fails, whatever bytes arrive: Qt Network sets no limit on their size.
    // The entry fails and the queue goes on, but Qt Network 6.4 reads headers
    // a byte at a time until the socket is empty, so while the server sends
    // faster than that its connection thread never sees the abort: the
    // headers' memory keeps growing and the manager's later requests wait.
    static constexpr int kHeaderDeadlineMs = 30 * 1000;
    void setHeaderDeadline(int ms) { m_headerDeadline.setInterval(ms); }

signals:
    void finished();
    void progress(qint64 received, qint64 total);

private:
    void onReadyRead();
    void onFinished();
    void onRedirected(const QUrl& url);
    void fail(const RuntimeError& error);
    void deliverFinished();

    void onMetaData();
    // Why a 206 answer is not the part asked for; "" when it is.
    QString partialAnswerProblem(const QByteArray& contentRange);
    void refuseAnswer(const QString& reason);

    QNetworkAccessManager* m_manager;
    const WebSession* m_session = nullptr;
    std::optional<QString> m_signInRealm;
    QPointer<QNetworkReply> m_reply;
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
    QList<QPair<QByteArray, QByteArray>> m_headers;
    QByteArray m_buffer;
    ContentHash m_hash;
    QString m_finalUrl;
    qint64 m_received = 0;
    qint64 m_total = -1;
    int m_status = 0;
    int m_sinkErrno = 0;
    bool m_redirected = false;
    bool m_failed = false;
    bool m_cancelled = false;
    bool m_finishPending = false;
    RuntimeError m_error;
};

}  // namespace pm
