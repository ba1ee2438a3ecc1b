#include "core/transfer.h"

#include <QIODevice>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <cerrno>

namespace pm {

namespace {
// QNetworkReply joins the same header of every response of a redirect chain
// with ", "; the final response's value is the last one.
QByteArray finalHeader(const QNetworkReply* reply, const QByteArray& name, bool redirected)
{
    const QByteArray value = reply->rawHeader(name);
    if (!redirected)
        return value;
    const int comma = value.lastIndexOf(',');
    return comma < 0 ? value : value.mid(comma + 1).trimmed();
}

bool supportedScheme(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

// The network's failure in the words of a log line.
QString networkFailureText(const QNetworkReply* reply)
{
    switch (reply->error()) {
    case QNetworkReply::ConnectionRefusedError: return QStringLiteral("connection refused");
    case QNetworkReply::RemoteHostClosedError: return QStringLiteral("connection closed by the server");
    case QNetworkReply::HostNotFoundError: return QStringLiteral("host not found");
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError: return QStringLiteral("timed out");
    case QNetworkReply::TooManyRedirectsError: return QStringLiteral("too many redirects");
    case QNetworkReply::InsecureRedirectError: return QStringLiteral("redirect from https to http refused");
    case QNetworkReply::SslHandshakeFailedError: return QStringLiteral("secure connection failed");
    default: return reply->errorString();
    }
}
}  // namespace

Transfer::Transfer(QNetworkAccessManager* manager, QObject* parent) : QObject(parent), m_manager(manager)
{
    m_buffer.resize(kChunk);
}

Transfer::~Transfer()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
    }
}

void Transfer::fetch(const QString& url, QIODevice* sink)
{
    Q_ASSERT(!running());
    m_sink = sink;
    m_headers.clear();
    m_received = 0;
    m_total = -1;
    m_status = 0;
    m_sinkErrno = 0;
    m_redirected = false;
    m_failed = m_cancelled = false;
    m_error = RuntimeError();

    const QUrl target(url);
    if (!target.isValid() || !supportedScheme(target)) {
        fail(RuntimeError::of(ErrUnsupportedScheme, url));
        deliverFinished();
        return;
    }

    QNetworkRequest request(target);
    // The saved bytes must be the resource's own, and Content-Length its size.
    request.setRawHeader("Accept-Encoding", "identity");
    // Redirects are followed (at most 50, never from https down to http);
    // onRedirected() refuses any scheme but http and https.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setTransferTimeout(kStallTimeoutMs);
    m_reply = m_manager->get(request);
    m_reply->setReadBufferSize(kChunk * 4);
    connect(m_reply, &QNetworkReply::readyRead, this, &Transfer::onReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &Transfer::onFinished);
    connect(m_reply, &QNetworkReply::redirected, this, &Transfer::onRedirected);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, [this] {
        m_status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        bool ok = false;
        const qint64 length = finalHeader(m_reply, "Content-Length", m_redirected).trimmed().toLongLong(&ok);
        m_total = ok ? length : -1;
    });
}

QString Transfer::headerText(const QByteArray& name) const
{
    for (const auto& header : m_headers) {
        if (header.first.compare(name, Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(header.second);
    }
    return QString();
}

void Transfer::cancel()
{
    if (!m_reply)
        return;
    m_cancelled = true;
    // abort() emits finished() inside itself; onFinished() copes.
    m_reply->abort();
}

void Transfer::fail(const RuntimeError& error)
{
    if (!m_failed) {
        m_failed = true;
        m_error = error;
    }
}

void Transfer::onRedirected(const QUrl& url)
{
    m_redirected = true;
    if (supportedScheme(url))
        return;
    fail(RuntimeError::of(ErrUnsupportedScheme, url.toString()));
    m_reply->abort();
}

void Transfer::onReadyRead()
{
    QNetworkReply* reply = m_reply;
    if (!reply)
        return;
    while (reply->bytesAvailable() > 0) {
        const qint64 n = reply->read(m_buffer.data(), m_buffer.size());
        if (n <= 0)
            break;
        m_received += n;
        // An error page is never written as the requested file.
        if (m_sink && m_status < 400 && m_sinkErrno == 0) {
            errno = 0;
            if (m_sink->write(m_buffer.constData(), n) != n) {
                m_sinkErrno = errno != 0 ? errno : EIO;
                fail(RuntimeError::of(ErrDeviceIO));
                m_reply->abort();
                return;
            }
        }
    }
    emit progress(m_received, m_total);
}

void Transfer::onFinished()
{
    QNetworkReply* reply = m_reply;
    if (!reply)
        return;
    if (reply->error() != QNetworkReply::OperationCanceledError)
        onReadyRead();  // whatever is left in the buffer
    m_reply = nullptr;
    reply->disconnect(this);
    reply->deleteLater();

    m_headers = reply->rawHeaderPairs();
    if (m_redirected) {
        for (auto& header : m_headers)
            header.second = finalHeader(reply, header.first, true);
    }
    m_status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (m_cancelled && !m_failed) {
        fail(RuntimeError::of(ErrTransferFailed, QStringLiteral("cancelled")));
    } else if (m_status >= 400) {
        const QString reason = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        fail(RuntimeError::of(ErrHttpStatus, QString::number(m_status) + QLatin1Char(' ') + reason));
    } else if (reply->error() != QNetworkReply::NoError) {
        fail(RuntimeError::of(ErrTransferFailed, networkFailureText(reply)));
    } else {
        bool ok = false;
        const qint64 announced = finalHeader(reply, "Content-Length", m_redirected).trimmed().toLongLong(&ok);
        if (ok && m_received != announced)
            fail(RuntimeError::of(ErrTransferIncomplete,
                                  QStringLiteral("%1 of %2 bytes").arg(m_received).arg(announced)));
    }
    deliverFinished();
}

void Transfer::deliverFinished()
{
    // Never from inside fetch() or abort(): the caller finishes its handler first.
    m_finishPending = true;
    QTimer::singleShot(0, this, [this] {
        m_finishPending = false;
        emit finished();
    });
}

}  // namespace pm
