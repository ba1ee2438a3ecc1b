#include "core/download/transfer.h"

#include "core/download/websession.h"

#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QTimer>

#include <cerrno>

namespace pm {

// The final response's value is the last one.
QByteArray finalResponseHeader(const QNetworkReply* reply, const QByteArray& name, bool redirected)
{
    const QByteArray value = reply->rawHeader(name);
    if (!redirected)
        return value;
    const int comma = value.lastIndexOf(',');
    return comma < 0 ? value : value.mid(comma + 1).trimmed();
}

bool Transfer::supportedScheme(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

namespace {

bool isTransientStatus(int status)
{
    return status == 408 || status == 429 || status == 500 || status == 502 || status == 503 || status == 504;
}

bool isTransientNetworkError(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError:  // the stall time-out; a user's cancel is told apart
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::UnknownNetworkError:
        return true;
    default:
        return false;
    }
}

// Retry-After: either seconds or an HTTP date.
int secondsToWait(const QByteArray& value)
{
    if (value.isEmpty())
        return -1;
    bool ok = false;
    const int seconds = value.trimmed().toInt(&ok);
    if (ok)
        return std::max(0, seconds);
    const QDateTime when = QLocale::c().toDateTime(QString::fromLatin1(value.trimmed()),
                                                   QStringLiteral("ddd, dd MMM yyyy HH:mm:ss 'GMT'"));
    if (!when.isValid())
        return -1;
    QDateTime utc = when;
    utc.setTimeSpec(Qt::UTC);
    return int(std::max<qint64>(0, QDateTime::currentDateTimeUtc().secsTo(utc)));
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
    m_buffer.resize(kPiece);
    m_headerDeadline.setSingleShot(true);
    m_headerDeadline.setInterval(kHeaderDeadlineMs);
    connect(&m_headerDeadline, &QTimer::timeout, this, [this] {
        if (!m_reply)
            return;
        fail(RuntimeError::of(ErrTransferFailed, QStringLiteral("the server's answer did not begin within %1 s")
                                                     .arg(m_headerDeadline.interval() / 1000)));
        m_reply->abort();
    });
}

Transfer::~Transfer()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
    }
}

void Transfer::fetch(const QString& url, QFile* sink, const ResumePoint& resume, const QString& foundOn)
{
    Q_ASSERT(!running());
    m_sink = sink;
    m_resume = resume;
    m_bodyStart = resume.offset;
    m_validator.clear();
    m_retryAfter = -1;
    m_headers.clear();
    m_received = 0;
    m_total = -1;
    m_status = 0;
    m_sinkErrno = 0;
    m_redirected = false;
    m_failed = m_cancelled = m_transient = m_restartNeeded = false;
    m_refusal.clear();
    m_partLength = -1;
    m_error = RuntimeError();
    m_signInRealm.reset();
    m_finalUrl = url;
    if (resume.offset <= 0)
        m_hash.reset();
    else if (m_hash.bytes() != resume.offset)
        m_hash.invalidate();

    const QUrl target(url);
    if (!target.isValid() || !supportedScheme(target)) {
        fail(RuntimeError::of(ErrUnsupportedScheme, url));
        deliverFinished();
        return;
    }

    QNetworkRequest request(target);
    if (m_session)
        m_session->prepare(request, foundOn);
    // The saved bytes must be the resource's own, and Content-Length its size.
    request.setRawHeader("Accept-Encoding", "identity");
    // Redirects are followed (at most 50, never from https down to http);
    // onRedirected() refuses any scheme but http and https.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setTransferTimeout(kStallTimeoutMs);
    if (resume.offset > 0) {
        request.setRawHeader("Range", "bytes=" + QByteArray::number(resume.offset) + '-');
        if (!resume.validator.isEmpty())
            request.setRawHeader("If-Range", resume.validator);
    }
    m_reply = m_manager->get(request);
    m_reply->setReadBufferSize(kReadBuffer);
    connect(m_reply, &QNetworkReply::readyRead, this, &Transfer::onReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &Transfer::onFinished);
    connect(m_reply, &QNetworkReply::redirected, this, &Transfer::onRedirected);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &Transfer::onMetaData);
    m_headerDeadline.start();
}

void Transfer::onMetaData()
{
    m_status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (m_status >= 300 && m_status < 400)
        return;  // a redirect; the final response follows
    m_headerDeadline.stop();
    bool ok = false;
    const qint64 length = finalResponseHeader(m_reply, "Content-Length", m_redirected).trimmed().toLongLong(&ok);
    m_total = ok ? length : -1;
    m_validator = finalResponseHeader(m_reply, "ETag", m_redirected);
    if (m_validator.isEmpty())
        m_validator = finalResponseHeader(m_reply, "Last-Modified", m_redirected);
    m_retryAfter = secondsToWait(finalResponseHeader(m_reply, "Retry-After", m_redirected));

    if (m_status == 206) {
        // Only the part asked for is taken; anything else would splice two
        // versions of the file or save a piece of it as the whole.
        const QByteArray range = finalResponseHeader(m_reply, "Content-Range", m_redirected);
        if (const QString problem = partialAnswerProblem(range); !problem.isEmpty())
            return refuseAnswer(problem);
    } else if (m_resume.offset > 0 && m_status == 416) {
        refuseAnswer(QStringLiteral("the server refused the rest of the file (416)"));
    } else if (m_resume.offset > 0 && m_status < 400) {
        // The whole body, from its first byte: what the sink holds goes.
        m_bodyStart = 0;
        m_hash.reset();
        if (m_sink && !m_sink->resize(0))
            m_sinkErrno = EIO;
    }
}

QString Transfer::partialAnswerProblem(const QByteArray& contentRange)
{
    if (m_resume.offset <= 0)
        return QStringLiteral("the server sent part of the file unasked (Content-Range: ")
            + QString::fromLatin1(contentRange) + QLatin1Char(')');
    // The request asked for everything from the offset on: the answer must
    // be "bytes OFFSET-LAST/TOTAL" with LAST the file's last byte.
    static const QRegularExpression pattern(QStringLiteral("^bytes (\\d{1,18})-(\\d{1,18})/(\\d{1,18})$"));
    const QRegularExpressionMatch match = pattern.match(QString::fromLatin1(contentRange.trimmed()));
    const qint64 first = match.captured(1).toLongLong(), last = match.captured(2).toLongLong();
    const qint64 total = match.captured(3).toLongLong();
    if (!match.hasMatch() || first != m_resume.offset || last < first || last + 1 != total)
        return QStringLiteral("the server sent another part of the file than asked for (Content-Range: ")
            + QString::fromLatin1(contentRange) + QLatin1Char(')');
    // If-Range carried the kept part's validator: the answer must carry
    // the same one, or the rest belongs to another version of the file.
    const bool isTag = m_resume.validator.startsWith('"') || m_resume.validator.startsWith("W/");
    if (finalResponseHeader(m_reply, isTag ? "ETag" : "Last-Modified", m_redirected) != m_resume.validator)
        return QStringLiteral("the file changed on the server since its first part was fetched");
    m_total = total;
    m_partLength = last - first + 1;
    return QString();
}

void Transfer::refuseAnswer(const QString& reason)
{
    m_restartNeeded = true;
    m_refusal = reason;
    m_reply->abort();
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
    m_headerDeadline.start();  // the next request's answer has its own time
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
        if (m_sink && m_status < 400 && m_sinkErrno == 0 && !m_restartNeeded) {
            errno = 0;
            if (m_sink->write(m_buffer.constData(), n) != n) {
                m_sinkErrno = errno != 0 ? errno : EIO;
                fail(RuntimeError::of(ErrDeviceIO));
                m_reply->abort();
                return;
            }
            m_hash.addData(QByteArrayView(m_buffer.constData(), n));
        }
    }
    emit progress(m_bodyStart + m_received, m_total);
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
            header.second = finalResponseHeader(reply, header.first, true);
    }
    m_status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    m_finalUrl = reply->url().toString();
    m_headerDeadline.stop();
    m_signInRealm = WebSession::signInRealm(reply);
    if (m_restartNeeded) {
        fail(RuntimeError::of(ErrTransferFailed, m_refusal));
    } else if (m_cancelled && !m_failed) {
        fail(RuntimeError::of(ErrTransferFailed, QStringLiteral("cancelled")));
    } else if (m_failed) {
        // Ended by the program on a failure of its own (the sink, a refused
        // redirect, the header deadline): that reason stands, and trying
        // again would not help.
    } else if (m_status >= 400) {
        const QString reason = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        fail(RuntimeError::of(ErrHttpStatus, QString::number(m_status) + QLatin1Char(' ') + reason));
        m_transient = isTransientStatus(m_status);
    } else if (reply->error() != QNetworkReply::NoError) {
        fail(RuntimeError::of(ErrTransferFailed, networkFailureText(reply)));
        m_transient = isTransientNetworkError(reply->error());
    } else {
        // A body shorter than its Content-Length, or than the part its
        // Content-Range announced, is cut off; the part decides, since only
        // it completes the file.
        bool ok = false;
        qint64 announced = finalResponseHeader(reply, "Content-Length", m_redirected).trimmed().toLongLong(&ok);
        if (m_partLength >= 0) {
            announced = m_partLength;
            ok = true;
        }
        if (ok && m_received != announced) {
            fail(RuntimeError::of(ErrTransferIncomplete,
                                  QStringLiteral("%1 of %2 bytes").arg(m_received).arg(announced)));
            m_transient = true;  // the connection ended early
        }
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
