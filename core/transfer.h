#pragma once
// One HTTP(S) transfer at a time over a shared QNetworkAccessManager. fetch()
// streams the body into a device as it arrives; finished() is always
// delivered from the event loop, never from inside fetch() or cancel(), so a
// caller that cancels can finish its own handler first.

#include "core/errors.h"

#include <QByteArray>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

class QIODevice;
class QNetworkAccessManager;

namespace pm {

class Transfer : public QObject {
    Q_OBJECT
public:
    Transfer(QNetworkAccessManager* manager, QObject* parent = nullptr);
    ~Transfer() override;

    // Starts fetching `url`; the body goes to `sink` (nullptr: discarded).
    // Only http and https are fetched; anything else ends at once in failure.
    void fetch(const QString& url, QIODevice* sink);
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
    qint64 bytesReceived() const { return m_received; }

    // Bytes read per pass; the reply's own buffer is held to a few of these.
    static constexpr qint64 kChunk = 256 * 1024;
    // A transfer that receives nothing for this long fails.
    static constexpr int kStallTimeoutMs = 60 * 1000;

signals:
    void finished();
    void progress(qint64 received, qint64 total);

private:
    void onReadyRead();
    void onFinished();
    void onRedirected(const QUrl& url);
    void fail(const RuntimeError& error);
    void deliverFinished();

    QNetworkAccessManager* m_manager;
    QPointer<QNetworkReply> m_reply;
    QIODevice* m_sink = nullptr;
    QList<QPair<QByteArray, QByteArray>> m_headers;
    QByteArray m_buffer;
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
