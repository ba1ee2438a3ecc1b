#include "core/download/transfer.h"

#include "core/download/curlmulti.h"
#include "core/download/websession.h"

#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QNetworkProxyFactory>
#include <QRegularExpression>
#include <QTimer>

#include <curl/curl.h>

#include <cerrno>

namespace pm {

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

bool isRedirectStatus(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// Failures of the connection that may well pass on a later attempt.
bool isTransientCurlError(int code)
{
    switch (code) {
    case CURLE_COULDNT_CONNECT:
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_OPERATION_TIMEDOUT:
        return true;
    default:
        return false;
    }
}

// The connection's failure in the words of a log line.
QString curlFailureText(int code)
{
    switch (code) {
    case CURLE_COULDNT_CONNECT: return QStringLiteral("connection refused");
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR: return QStringLiteral("connection closed by the server");
    case CURLE_COULDNT_RESOLVE_HOST: return QStringLiteral("host not found");
    case CURLE_COULDNT_RESOLVE_PROXY: return QStringLiteral("proxy not found");
    case CURLE_OPERATION_TIMEDOUT: return QStringLiteral("timed out");
    case CURLE_WEIRD_SERVER_REPLY: return QStringLiteral("the server's answer is malformed");
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE: return QStringLiteral("secure connection failed");
    default: return QString::fromUtf8(curl_easy_strerror(CURLcode(code)));
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

// The realm of a WWW-Authenticate challenge ("" when it names none).
QString challengeRealm(const QByteArray& challenge)
{
    static const QRegularExpression pattern(QStringLiteral("realm=\"([^\"]*)\""),
                                            QRegularExpression::CaseInsensitiveOption);
    return pattern.match(QString::fromLatin1(challenge)).captured(1);
}

// The proxy the program's network settings name for `url`, in libcurl's
// words; "" for none. An empty proxy also keeps libcurl from taking one
// from the environment on its own.
QByteArray proxyFor(const QUrl& url, QNetworkProxy* chosen)
{
    const QList<QNetworkProxy> proxies = QNetworkProxyFactory::proxyForQuery(QNetworkProxyQuery(url));
    for (const QNetworkProxy& proxy : proxies) {
        const QByteArray where = proxy.hostName().toUtf8() + ':' + QByteArray::number(proxy.port());
        *chosen = proxy;
        switch (proxy.type()) {
        case QNetworkProxy::NoProxy: return {};
        case QNetworkProxy::HttpProxy: return "http://" + where;
        case QNetworkProxy::Socks5Proxy: return "socks5h://" + where;
        default: continue;  // one libcurl cannot use: the next
        }
    }
    return {};
}
}  // namespace

Transfer::Transfer(CurlMulti* engine, QObject* parent) : QObject(parent), m_engine(engine), m_easy(curl_easy_init())
{
    curl_easy_setopt(m_easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(m_easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(m_easy, CURLOPT_FOLLOWLOCATION, 0L);  // followRedirect()
    // A proxy's answer to CONNECT is not the server's: only the server's
    // headers reach headerLine().
    curl_easy_setopt(m_easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    // The program's proxy settings alone decide (proxyFor()), not libcurl's
    // reading of the environment.
    curl_easy_setopt(m_easy, CURLOPT_NOPROXY, "");
    curl_easy_setopt(m_easy, CURLOPT_BUFFERSIZE, kPiece);
    curl_easy_setopt(m_easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(m_easy, CURLOPT_LOW_SPEED_TIME, long(kStallTimeoutSeconds));
    curl_easy_setopt(m_easy, CURLOPT_CONNECTTIMEOUT, long(kStallTimeoutSeconds));
    curl_easy_setopt(m_easy, CURLOPT_HEADERFUNCTION, &Transfer::onHeaderLine);
    curl_easy_setopt(m_easy, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(m_easy, CURLOPT_WRITEFUNCTION, &Transfer::onBody);
    curl_easy_setopt(m_easy, CURLOPT_WRITEDATA, this);
    m_pending.reserve(kPiece + CURL_MAX_WRITE_SIZE);
    // The rest of a read goes to the file once libcurl is done with the
    // socket, so a slow body is written as it comes.
    connect(engine, &CurlMulti::processed, this, [this] {
        if (m_running && !m_pending.isEmpty() && !writePending())
            abort();
    });
    m_headerDeadline.setSingleShot(true);
    m_headerDeadline.setInterval(kHeaderDeadlineMs);
    connect(&m_headerDeadline, &QTimer::timeout, this, [this] {
        if (!m_running)
            return;
        fail(RuntimeError::of(ErrTransferFailed, QStringLiteral("the server's answer did not begin within %1 s")
                                                     .arg(m_headerDeadline.interval() / 1000)));
        abort();
    });
}

Transfer::~Transfer()
{
    if (m_engine)
        m_engine->remove(m_easy);
    curl_easy_cleanup(m_easy);
    curl_slist_free_all(m_requestHeaders);
}

void Transfer::setCaFile(const QString& path)
{
    curl_easy_setopt(m_easy, CURLOPT_CAINFO, QFile::encodeName(path).constData());  // libcurl keeps a copy
}

void Transfer::fetch(const QString& url, QFile* sink, const ResumePoint& resume, const QString& foundOn)
{
    Q_ASSERT(!running());
    m_sink = sink;
    m_resume = resume;
    m_foundOn = foundOn;
    m_bodyStart = resume.offset;
    m_validator.clear();
    m_retryAfter = -1;
    m_headers.clear();
    m_received = 0;
    m_total = -1;
    m_status = 0;
    m_sinkErrno = 0;
    m_redirects = 0;
    m_signInTried = false;
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
    m_running = true;
    request(target);
}

void Transfer::request(const QUrl& url)
{
    m_url = url;
    m_finalUrl = url.toString();
    m_redirectTo.clear();
    m_headers.clear();
    m_headerBytes = m_headerLines = 0;
    m_headersEnded = m_bodyWanted = false;
    m_status = 0;
    m_received = 0;

    curl_slist_free_all(m_requestHeaders);
    m_requestHeaders = nullptr;
    // The saved bytes must be the resource's own, and Content-Length its size.
    m_requestHeaders = curl_slist_append(m_requestHeaders, "Accept-Encoding: identity");
    if (m_session) {
        for (const auto& [name, value] : m_session->requestHeaders(url, m_foundOn))
            m_requestHeaders = curl_slist_append(m_requestHeaders, (name + ": " + value).constData());
    }
    if (m_resume.offset > 0) {
        m_requestHeaders =
            curl_slist_append(m_requestHeaders, "Range: bytes=" + QByteArray::number(m_resume.offset) + '-');
        if (!m_resume.validator.isEmpty())
            m_requestHeaders = curl_slist_append(m_requestHeaders, ("If-Range: " + m_resume.validator).constData());
    }
    curl_easy_setopt(m_easy, CURLOPT_URL, url.toEncoded().constData());
    curl_easy_setopt(m_easy, CURLOPT_HTTPHEADER, m_requestHeaders);

    QNetworkProxy proxy;
    curl_easy_setopt(m_easy, CURLOPT_PROXY, proxyFor(url, &proxy).constData());
    curl_easy_setopt(m_easy, CURLOPT_PROXYUSERNAME, proxy.user().isEmpty() ? nullptr : proxy.user().toUtf8().constData());
    curl_easy_setopt(m_easy, CURLOPT_PROXYPASSWORD,
                     proxy.password().isEmpty() ? nullptr : proxy.password().toUtf8().constData());

    // A sign-in goes only to the server and realm it was given for, and only
    // once the server has asked for it.
    const std::optional<SignIn> signIn =
        m_signInTried && m_session && m_signInRealm ? m_session->signInFor(url, *m_signInRealm) : std::nullopt;
    curl_easy_setopt(m_easy, CURLOPT_HTTPAUTH, signIn ? long(CURLAUTH_BASIC | CURLAUTH_DIGEST) : long(CURLAUTH_NONE));
    curl_easy_setopt(m_easy, CURLOPT_USERNAME, signIn ? signIn->user.toUtf8().constData() : nullptr);
    curl_easy_setopt(m_easy, CURLOPT_PASSWORD, signIn ? signIn->password.toUtf8().constData() : nullptr);

    m_headerDeadline.start();
    if (!m_engine || !m_engine->add(m_easy, [this](int code) { onDone(code); })) {
        fail(RuntimeError::of(ErrTransferFailed, QStringLiteral("the transfer could not start")));
        complete(CURLE_OK);
    }
}

size_t Transfer::onHeaderLine(char* data, size_t size, size_t count, void* self)
{
    auto* transfer = static_cast<Transfer*>(self);
    const size_t bytes = size * count;
    return transfer->headerLine(QByteArrayView(data, qsizetype(bytes))) ? bytes : 0;
}

bool Transfer::headerLine(QByteArrayView line)
{
    if (m_cancelled)
        return false;
    if (line.startsWith("HTTP/")) {
        // A response begins: an interim one, or the answer to a sign-in.
        m_headers.clear();
        m_headerBytes = m_headerLines = 0;
        m_headersEnded = m_bodyWanted = false;
        m_received = 0;
        // "HTTP/1.1 404 Not Found"; HTTP/2 has no reason phrase.
        const QString statusLine = QString::fromLatin1(line.toByteArray().simplified());
        m_status = statusLine.section(QLatin1Char(' '), 1, 1).toInt();
        m_reason = statusLine.section(QLatin1Char(' '), 2);
    }
    m_headerBytes += int(line.size());
    ++m_headerLines;
    if (m_headerBytes > kMaxHeaderBytes || m_headerLines > kMaxHeaderLines) {
        fail(RuntimeError::of(ErrTransferFailed, m_headerBytes > kMaxHeaderBytes
                                                     ? QStringLiteral("the server's headers exceed 256 KiB")
                                                     : QStringLiteral("the server's headers exceed 1,000 lines")));
        return false;
    }
    const QByteArrayView content = line.trimmed();
    if (content.isEmpty())
        return m_status < 200 || headersEnded();
    const qsizetype colon = content.indexOf(':');
    if (colon > 0 && !content.startsWith("HTTP/"))
        m_headers.append({content.first(colon).trimmed().toByteArray(), content.sliced(colon + 1).trimmed().toByteArray()});
    return true;
}

QByteArray Transfer::responseHeader(const QByteArray& name) const
{
    for (const auto& header : m_headers) {
        if (header.first.compare(name, Qt::CaseInsensitive) == 0)
            return header.second;
    }
    return {};
}

bool Transfer::headersEnded()
{
    m_headersEnded = true;
    if (m_session) {
        QList<QByteArray> setCookies;
        for (const auto& header : std::as_const(m_headers)) {
            if (header.first.compare("Set-Cookie", Qt::CaseInsensitive) == 0)
                setCookies << header.second;
        }
        m_session->keepCookies(m_url, setCookies);
    }
    if (isRedirectStatus(m_status) && !responseHeader("Location").isEmpty()) {
        m_redirectTo = responseHeader("Location");
        return true;  // followRedirect() takes it once this answer has ended
    }
    if (m_status == 401) {
        if (const QByteArray challenge = responseHeader("WWW-Authenticate"); !challenge.isEmpty())
            m_signInRealm = challengeRealm(challenge);
        return true;
    }
    m_headerDeadline.stop();
    bool ok = false;
    const qint64 length = responseHeader("Content-Length").toLongLong(&ok);
    m_total = ok ? length : -1;
    m_validator = responseHeader("ETag");
    if (m_validator.isEmpty())
        m_validator = responseHeader("Last-Modified");
    m_retryAfter = secondsToWait(responseHeader("Retry-After"));
    if (m_status >= 400)
        return true;  // an error page is never written as the requested file

    if (m_status == 206) {
        // Only the part asked for is taken; anything else would splice two
        // versions of the file or save a piece of it as the whole.
        if (const QString problem = partialAnswerProblem(responseHeader("Content-Range")); !problem.isEmpty()) {
            m_restartNeeded = true;
            m_refusal = problem;
            return false;
        }
    } else if (m_resume.offset > 0 && m_status == 416) {
        m_restartNeeded = true;
        m_refusal = QStringLiteral("the server refused the rest of the file (416)");
        return false;
    } else if (m_resume.offset > 0) {
        // The whole body, from its first byte: what the sink holds goes.
        m_bodyStart = 0;
        m_hash.reset();
        if (m_sink && !m_sink->resize(0)) {
            m_sinkErrno = EIO;
            fail(RuntimeError::of(ErrDeviceIO));
            return false;
        }
    }
    m_bodyWanted = true;
    return true;
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
    if (responseHeader(isTag ? "ETag" : "Last-Modified") != m_resume.validator)
        return QStringLiteral("the file changed on the server since its first part was fetched");
    m_total = total;
    m_partLength = last - first + 1;
    return QString();
}

size_t Transfer::onBody(char* data, size_t size, size_t count, void* self)
{
    auto* transfer = static_cast<Transfer*>(self);
    const size_t bytes = size * count;
    return transfer->writeBody(QByteArrayView(data, qsizetype(bytes))) ? bytes : 0;
}

bool Transfer::writeBody(QByteArrayView data)
{
    if (m_cancelled)
        return false;
    m_received += data.size();
    if (!m_bodyWanted)
        return true;  // a redirect's, a sign-in request's or an error page's body
    // libcurl hands a read over in pieces of 16 KiB at most; they are
    // gathered so that the file and the hash see few large pieces.
    m_pending.append(data);
    return m_pending.size() < kPiece || writePending();
}

bool Transfer::writePending()
{
    if (m_pending.isEmpty())
        return true;
    if (m_sink && m_sinkErrno == 0) {
        errno = 0;
        if (m_sink->write(m_pending.constData(), m_pending.size()) != m_pending.size()) {
            m_sinkErrno = errno != 0 ? errno : EIO;
            fail(RuntimeError::of(ErrDeviceIO));
            m_pending.resize(0);
            return false;
        }
        // Past the first MiB the hash runs beside the transfer; the pieces
        // before it went in already, so the order holds.
        if (m_received >= kHashBesideFrom)
            m_besideHash.add(m_pending);
        else
            m_hash.addData(m_pending);
    }
    m_pending.resize(0);  // keeps its room for the next piece
    emit progress(m_bodyStart + m_received, m_total);  // a handler may cancel(): the next callback stops
    return true;
}

void Transfer::onDone(int curlCode)
{
    const bool answered = curlCode == CURLE_OK && !m_failed && !m_cancelled && !m_restartNeeded;
    if (answered && !m_redirectTo.isEmpty() && followRedirect())
        return;
    if (answered && m_status == 401 && answerSignIn())
        return;
    complete(curlCode);
}

// Returns whether the next request is under way; else the transfer has failed.
bool Transfer::followRedirect()
{
    const QUrl next = m_url.resolved(QUrl::fromEncoded(m_redirectTo));
    if (++m_redirects > kMaxRedirects) {
        fail(RuntimeError::of(ErrTransferFailed, QStringLiteral("too many redirects")));
    } else if (!next.isValid() || !supportedScheme(next)) {
        fail(RuntimeError::of(ErrUnsupportedScheme, next.toString()));
    } else if (m_url.scheme().toLower() == QLatin1String("https") && next.scheme().toLower() == QLatin1String("http")) {
        fail(RuntimeError::of(ErrTransferFailed, QStringLiteral("redirect from https to http refused")));
    } else {
        request(next);
        return true;
    }
    return false;
}

// A 401: the session's sign-in for that server and realm is tried once in
// this fetch; a second refusal makes the session forget it.
bool Transfer::answerSignIn()
{
    if (!m_session || !m_signInRealm)
        return false;
    if (m_signInTried) {
        m_session->signInRefused(m_url, *m_signInRealm);
        return false;
    }
    if (!m_session->signInFor(m_url, *m_signInRealm))
        return false;
    m_signInTried = true;
    request(m_url);
    return true;
}

void Transfer::abort()
{
    if (m_engine)
        m_engine->remove(m_easy);
    complete(CURLE_ABORTED_BY_CALLBACK);
}

QString Transfer::headerText(const QByteArray& name) const
{
    return QString::fromLatin1(responseHeader(name));
}

void Transfer::cancel()
{
    if (!m_running || m_cancelled)
        return;
    m_cancelled = true;
    // From inside libcurl's callbacks (a progress handler), the next
    // callback ends the transfer; from the event loop it ends now.
    QTimer::singleShot(0, this, [this] {
        if (m_running)
            abort();
    });
}

void Transfer::fail(const RuntimeError& error)
{
    if (!m_failed) {
        m_failed = true;
        m_error = error;
    }
}

void Transfer::complete(int curlCode)
{
    writePending();  // what arrived before the end, whatever the end
    m_running = false;
    m_headerDeadline.stop();
    m_besideHash.drain();  // the digest is whole before anyone reads it
    if (m_restartNeeded) {
        fail(RuntimeError::of(ErrTransferFailed, m_refusal));
    } else if (m_cancelled && !m_failed) {
        fail(RuntimeError::of(ErrTransferFailed, QStringLiteral("cancelled")));
    } else if (m_failed) {
        // Ended by the program on a failure of its own (the sink, a refused
        // redirect, the header limits): that reason stands, and trying
        // again would not help.
    } else if (m_headersEnded && m_status >= 400) {
        fail(RuntimeError::of(ErrHttpStatus, (QString::number(m_status) + QLatin1Char(' ') + m_reason).trimmed()));
        m_transient = isTransientStatus(m_status);
    } else if (curlCode != CURLE_OK) {
        fail(RuntimeError::of(ErrTransferFailed, curlFailureText(curlCode)));
        m_transient = isTransientCurlError(curlCode);
    } else {
        // A body shorter than its Content-Length, or than the part its
        // Content-Range announced, is cut off; the part decides, since only
        // it completes the file.
        bool ok = false;
        qint64 announced = responseHeader("Content-Length").toLongLong(&ok);
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
    // Never from inside fetch() or cancel(): the caller finishes its handler first.
    m_finishPending = true;
    QTimer::singleShot(0, this, [this] {
        m_finishPending = false;
        emit finished();
    });
}

}  // namespace pm
