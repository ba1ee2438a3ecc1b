#include "tests/support/testserver.h"

#include <QDir>
#include <QMetaObject>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>

namespace pm::test {

QByteArray patternBytes(qint64 size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = patternByte(i);
    return bytes;
}

namespace {
constexpr qint64 kChunk = 256 * 1024;

// The program shows the server's reason phrase in its failure reports.
QByteArray reasonPhrase(int status)
{
    static const QHash<int, QByteArray> phrases = {
        {200, "OK"}, {206, "Partial Content"}, {302, "Found"}, {401, "Unauthorized"}, {403, "Forbidden"},
        {404, "Not Found"}, {416, "Range Not Satisfiable"}, {429, "Too Many Requests"}, {500, "Internal Server Error"},
        {503, "Service Unavailable"}};
    return phrases.value(status, "Status");
}
}  // namespace

// One client connection; answers requests one after another (keep-alive).
class Connection : public QObject {
public:
    Connection(TestServer* server, QTcpSocket* socket) : QObject(socket), m_server(server), m_socket(socket)
    {
        m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connect(m_socket, &QTcpSocket::readyRead, this, [this] { onReadyRead(); });
        connect(m_socket, &QTcpSocket::bytesWritten, this, [this] { pump(); });
        connect(m_socket, &QTcpSocket::disconnected, m_socket, &QObject::deleteLater);
        connect(m_socket, &QTcpSocket::disconnected, this, [this] { setBusy(false); });
        m_drip.setSingleShot(true);
        connect(&m_drip, &QTimer::timeout, this, [this] { pump(); });
    }

private:
    struct Response {
        int status = 200;
        QByteArray contentType = "application/octet-stream";
        QByteArray body;            // a fixed body, or
        qint64 generated = -1;      // a generated one of this many bytes
        qint64 offset = 0;          // where a generated body starts in the pattern
        QByteArray lengthHeader;    // Content-Length text; empty: the body's size
        bool sendLength = true;
        qint64 sendLimit = -1;      // hang up after this many body bytes
        bool closeAfter = false;
        qint64 dripChunk = 0;
        int dripMs = 0;
        QByteArray extraHeaders;    // complete header lines
        int delayMs = 0;
        QString holdKey;            // waits for TestServer::release() with this key
        bool endlessHeader = false; // header lines of dripChunk bytes every dripMs, never the end
    };

    void onReadyRead()
    {
        m_buffer += m_socket->readAll();
        if (m_busy)
            return;
        const qsizetype end = m_buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QByteArray head = m_buffer.left(end);
        m_buffer.remove(0, end + 4);
        const QList<QByteArray> requestLine = head.left(head.indexOf("\r\n")).split(' ');
        if (requestLine.size() < 2) {
            m_socket->disconnectFromHost();
            return;
        }
        m_headOnly = requestLine[0] == "HEAD";
        m_requestHeaders.clear();
        for (const QByteArray& line : head.split('\n').mid(1)) {
            const qsizetype colon = line.indexOf(':');
            if (colon > 0)
                m_requestHeaders.insert(line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed());
        }
        const Response response = respond(QString::fromLatin1(requestLine[1]));
        setBusy(true);
        const auto held = [&] { return !m_server->m_released.contains(response.holdKey); };
        if (!response.holdKey.isEmpty() && m_server->locked(held))
            connect(m_server, &TestServer::released, this, [this, response](const QString& key) {
                if (key == response.holdKey)
                    start(response);
            });
        else if (response.delayMs > 0)
            QTimer::singleShot(response.delayMs, this, [this, response] { start(response); });
        else
            start(response);
    }

    static void html(Response& r, int status, const QByteArray& text)
    {
        r.status = status;
        r.contentType = "text/html";
        r.body = "<html><body>" + text + "</body></html>";
        r.generated = -1;
    }

    static void redirect(Response& r, const QByteArray& location)
    {
        r.status = 302;
        r.extraHeaders = "Location: " + location + "\r\n";
        r.generated = -1;
    }

    // A gallery page of N links and its files, for /gallery; see the header.
    static void galleryRoute(Response& r, const QStringList& parts)
    {
        const int count = parts.value(1).toInt();
        r.delayMs = parts.value(3).toInt();
        const QString file = parts.value(4);
        if (!file.isEmpty() && file != QLatin1String("index.html")) {
            r.contentType = "image/jpeg";
            r.generated = parts.value(2).toLongLong();
            return;
        }
        QByteArray links;
        for (int i = 1; i <= count; ++i)
            links += "<a href=\"f" + QByteArray::number(i) + ".jpg\">" + QByteArray::number(i) + "</a>\n";
        html(r, 200, links);
    }

    // Ranges, validators and dropped connections for /range; see the header.
    void rangeRoute(Response& r, const QUrlQuery& query, qint64 size, int attempt)
    {
        const bool changed = attempt > 1 && query.hasQueryItem(QStringLiteral("etag2"));
        r.offset = changed ? 1 : 0;  // the changed file's bytes differ
        QByteArray validator;
        if (query.hasQueryItem(QStringLiteral("lastmod"))) {
            validator = changed ? "Tue, 02 Jan 2024 00:00:00 GMT" : "Mon, 01 Jan 2024 00:00:00 GMT";
            r.extraHeaders = "Last-Modified: " + validator + "\r\nAccept-Ranges: bytes\r\n";
        } else {
            validator = '"' + query.queryItemValue(changed ? QStringLiteral("etag2") : QStringLiteral("etag")).toLatin1() + '"';
            r.extraHeaders = "ETag: " + validator + "\r\nAccept-Ranges: bytes\r\n";
        }
        if (attempt <= query.queryItemValue(QStringLiteral("fails")).toInt()) {
            r.sendLimit = query.queryItemValue(QStringLiteral("after")).toLongLong();
            r.closeAfter = true;
        }
        const QByteArray range = m_requestHeaders.value("range");
        if (!range.isEmpty()) {
            QMutexLocker lock(&m_server->m_mutex);
            m_server->m_ranges.append(QString::fromLatin1(range));
        }
        const QByteArray ifRange = m_requestHeaders.value("if-range");
        const bool honoursIfRange = query.queryItemValue(QStringLiteral("ifrange")) != QLatin1String("0");
        if (query.queryItemValue(QStringLiteral("ranges")) == QLatin1String("0") || !range.startsWith("bytes=")
            || (honoursIfRange && !(ifRange.isEmpty() || ifRange == validator)))
            return;
        const qint64 asked = range.mid(6, range.indexOf('-') - 6).toLongLong();
        bool bounded = false;
        const qint64 to = range.mid(range.indexOf('-') + 1).toLongLong(&bounded);
        const qint64 last = bounded ? std::min(to, size - 1) : size - 1;
        const QString bad = query.queryItemValue(QStringLiteral("badrange"));
        const qint64 from = asked + (bad == QLatin1String("start") ? 1 : 0);
        if (from >= size) {
            r.status = 416;
            r.generated = 0;
            r.extraHeaders += "Content-Range: bytes */" + QByteArray::number(size) + "\r\n";
        } else {
            r.status = 206;
            r.offset += from;
            r.generated = last - from + 1;
            if (bad == QLatin1String("short") && attempt == query.queryItemValue(QStringLiteral("fails")).toInt() + 1)
                r.generated /= 2;
            r.extraHeaders += "Content-Range: bytes " + QByteArray::number(from) + '-' + QByteArray::number(last) + '/'
                + QByteArray::number(size + (bad == QLatin1String("total") ? 1 : 0)) + "\r\n";
        }
    }

    // Records the request and answers it: the route's answer, unless the
    // guards of a signed-in site refuse it.
    Response respond(const QString& target)
    {
        const QUrl url(target);
        const QUrlQuery query(url);
        int attempt = 0;  // how many times this exact target has been asked for, this time included
        {
            QMutexLocker lock(&m_server->m_mutex);
            m_server->m_requests.append(target);
            attempt = ++m_server->m_attempts[target];
            if (m_headOnly)
                m_server->m_heads.append(target);
            m_server->m_lastHeaders.insert(url.path(), m_requestHeaders);
        }
        Response r = route(url, query, attempt);
        auto item = [&](const char* name) { return query.queryItemValue(QLatin1String(name), QUrl::FullyDecoded).toUtf8(); };
        const QList<QByteArray> cookies = m_requestHeaders.value("cookie").split(';');
        const bool hasCookie = std::any_of(cookies.begin(), cookies.end(),
                                           [&](const QByteArray& c) { return c.trimmed() == item("needcookie"); });
        if (!item("needcookie").isEmpty() && !hasCookie) {
            html(r = Response(), 403, "Sign in first");
        } else if (!m_requestHeaders.value("referer").startsWith(item("needreferer"))) {
            html(r = Response(), 403, "Only from the page that links it");
        } else if (!item("auth").isEmpty() && m_requestHeaders.value("authorization") != "Basic " + item("auth").toBase64()) {
            html(r = Response(), 401, "Sign in");
            r.extraHeaders = "WWW-Authenticate: Basic realm=\"" + item("realm") + "\"\r\n";
        }
        if (const QByteArray cookie = item("setcookie"); !cookie.isEmpty())
            r.extraHeaders += "Set-Cookie: " + cookie + "\r\n";
        if (const QByteArray disposition = item("disposition"); !disposition.isEmpty())
            r.extraHeaders += "Content-Disposition: " + disposition + "\r\n";
        return r;
    }

    Response route(const QUrl& url, const QUrlQuery& query, int attempt)
    {
        auto item = [&](const char* name) { return query.queryItemValue(QLatin1String(name), QUrl::FullyDecoded); };
        Response r;
        r.delayMs = item("delay").toInt();
        r.holdKey = item("hold");
        if (const QString head = item("head"); m_headOnly && !head.isEmpty()) {
            r.status = head.toInt();
            return r;
        }
        {
            QMutexLocker lock(&m_server->m_mutex);
            if (const auto page = m_server->m_pages.constFind(url.path()); page != m_server->m_pages.constEnd()) {
                r.contentType = page->first;
                r.body = page->second;
                return r;
            }
        }
        const QStringList parts = url.path().split(QLatin1Char('/'), Qt::SkipEmptyParts);
        const QString kind = parts.value(0);
        const qint64 size = item("size").toLongLong();
        r.generated = size;
        r.dripChunk = item("chunk").toLongLong();
        r.dripMs = item("ms").toInt();
        r.closeAfter = QStringList{"drop", "short", "length", "nolength"}.contains(kind);
        if (kind == QLatin1String("file")) {
            r.offset = item("seed").toLongLong();
        } else if (kind == QLatin1String("drip") || kind == QLatin1String("endless")) {
            r.dripChunk = std::max<qint64>(1, r.dripChunk);
            r.endlessHeader = kind == QLatin1String("endless");
        } else if (kind == QLatin1String("drop")) {
            r.sendLimit = item("after").toLongLong();
        } else if (kind == QLatin1String("short") || kind == QLatin1String("length")) {
            r.lengthHeader = item(kind == QLatin1String("short") ? "claim" : "value").toLatin1();
        } else if (kind == QLatin1String("nolength")) {
            r.sendLength = false;
        } else if (kind == QLatin1String("range")) {
            rangeRoute(r, query, size, attempt);
        } else if (kind == QLatin1String("partial")) {
            r.status = 206;
            r.extraHeaders = "Content-Range: " + item("range").toLatin1() + "\r\n";
        } else if (kind == QLatin1String("flaky")) {
            if (attempt <= item("fails").toInt()) {
                html(r, item("status").toInt(), "Try again");
                if (const QString after = item("retryafter"); !after.isEmpty())
                    r.extraHeaders = "Retry-After: " + after.toLatin1() + "\r\n";
            }
        } else if (kind == QLatin1String("status")) {
            html(r, parts.value(1).toInt(), "Status " + parts.value(1).toLatin1());
        } else if (kind == QLatin1String("redirect")) {
            const int left = parts.value(1).toInt();
            const QString to = item("to");
            redirect(r, left > 1 ? "/redirect/" + QByteArray::number(left - 1) + "?to=" + QUrl::toPercentEncoding(to)
                                 : to.toLatin1());
        } else if (kind == QLatin1String("loop")) {
            redirect(r, "/loop");
        } else if (kind == QLatin1String("gallery")) {
            galleryRoute(r, parts);
        } else {
            html(r, 404, "Not found");
        }
        return r;
    }

    void start(const Response& response)
    {
        m_response = response;
        m_sent = 0;
        m_drip.stop();
        if (response.endlessHeader) {
            m_socket->write("HTTP/1.1 200 OK\r\n");
            pump();
            return;
        }
        QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + reasonPhrase(response.status) + "\r\n";
        head += "Content-Type: " + response.contentType + "\r\n";
        if (response.sendLength) {
            const qint64 size = response.generated >= 0 ? response.generated : response.body.size();
            head += "Content-Length: " + (response.lengthHeader.isEmpty() ? QByteArray::number(size) : response.lengthHeader)
                + "\r\n";
        }
        head += response.extraHeaders;
        head += response.closeAfter ? "Connection: close\r\n\r\n" : "Connection: keep-alive\r\n\r\n";
        if (m_headOnly)
            m_response.sendLimit = 0;
        m_socket->write(head);
        pump();
    }

    // Writes the body while the socket takes it, a drip one chunk a tick.
    void pump()
    {
        if (!m_busy)
            return;
        if (m_response.endlessHeader) {
            if (!m_drip.isActive() && m_socket->bytesToWrite() < kChunk) {
                m_socket->write("X-Filler: " + QByteArray(m_response.dripChunk, 'x') + "\r\n");
                m_drip.start(m_response.dripMs);
            }
            return;
        }
        const qint64 total = m_response.generated >= 0 ? m_response.generated : m_response.body.size();
        const qint64 left = (m_response.sendLimit >= 0 ? std::min(total, m_response.sendLimit) : total) - m_sent;
        if (left <= 0) {
            if (m_socket->bytesToWrite() == 0)
                finish();
            return;
        }
        if (m_socket->bytesToWrite() >= kChunk || (m_response.dripChunk > 0 && m_drip.isActive()))
            return;
        qint64 count = std::min(kChunk, left);
        if (m_response.dripChunk > 0) {
            count = std::min(count, m_response.dripChunk);
            m_drip.start(m_response.dripMs);
        }
        QByteArray part = m_response.body.mid(m_sent, count);
        if (m_response.generated >= 0) {
            part.resize(count);
            for (qint64 i = 0; i < count; ++i)
                part[i] = patternByte(m_response.offset + m_sent + i);
        }
        m_sent += count;
        m_socket->write(part);
    }

    void setBusy(bool busy)
    {
        if (busy != m_busy)
            m_server->answering(busy ? 1 : -1);
        m_busy = busy;
    }

    void finish()
    {
        setBusy(false);
        if (m_response.closeAfter)
            m_socket->disconnectFromHost();
        else if (!m_buffer.isEmpty())
            QMetaObject::invokeMethod(this, [this] { onReadyRead(); }, Qt::QueuedConnection);
    }

    TestServer* m_server;
    QTcpSocket* m_socket;
    QByteArray m_buffer;
    QHash<QByteArray, QByteArray> m_requestHeaders;  // lower-case names
    Response m_response;
    qint64 m_sent = 0;
    bool m_busy = false;
    bool m_headOnly = false;
    QTimer m_drip;
};

TestServer::TestServer(QObject* parent) : QObject(parent), m_server(new QTcpServer(this))
{
    acceptConnections();
}

void TestServer::acceptConnections()
{
    // A TLS server queues a connection only once its handshake is done,
    // after newConnection() has been emitted: both signals drain the queue.
    auto accept = [this] {
        while (QTcpSocket* socket = m_server->nextPendingConnection()) {
            new Connection(this, socket);
            QMutexLocker lock(&m_mutex);
            ++m_connections;
        }
    };
    connect(m_server, &QTcpServer::newConnection, this, accept);
    connect(m_server, &QTcpServer::pendingConnectionAvailable, this, accept);
}

QString TestServer::tlsCertificateFile(const QString& name)
{
    return QStringLiteral(PULLMARK_TEST_SUPPORT "/tls-%1.crt").arg(name);
}

bool TestServer::useTls(const QString& name)
{
    Q_ASSERT(!m_server->isListening());
    if (!QSslSocket::supportsSsl())
        return false;
    QFile certificateFile(tlsCertificateFile(name));
    QFile keyFile(QStringLiteral(PULLMARK_TEST_SUPPORT "/tls-%1.key").arg(name));
    if (!certificateFile.open(QIODevice::ReadOnly) || !keyFile.open(QIODevice::ReadOnly))
        return false;
    const QSslCertificate certificate(&certificateFile, QSsl::Pem);
    const QSslKey key(&keyFile, QSsl::Ec, QSsl::Pem);
    if (certificate.isNull() || key.isNull())
        return false;
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificate(certificate);
    configuration.setPrivateKey(key);
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);  // no client certificates
    auto* server = new QSslServer(this);
    server->setSslConfiguration(configuration);
    delete m_server;
    m_server = server;
    m_tls = true;
    acceptConnections();
    return true;
}

TestServer::~TestServer()
{
    // A connection tells the server when it ends, also when its socket is
    // deleted: the sockets go while this object is still whole.
    if (m_thread) {
        QMetaObject::invokeMethod(this, [this] { delete m_server; moveToThread(m_thread->thread()); },
                                  Qt::BlockingQueuedConnection);
        m_thread->quit();
        m_thread->wait();
        delete m_thread;
    } else {
        delete m_server;
    }
}

void TestServer::moveToOwnThread()
{
    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("test server"));
    moveToThread(m_thread);
    m_thread->start();
}

bool TestServer::listen(quint16 port)
{
    bool ok = false;
    QMetaObject::invokeMethod(this, [&] {
        ok = m_server->listen(QHostAddress::LocalHost, port);
        m_port = m_server->serverPort();
    }, m_thread ? Qt::BlockingQueuedConnection : Qt::DirectConnection);
    return ok;
}

QString TestServer::baseUrl() const
{
    return QStringLiteral("%1://127.0.0.1:%2").arg(m_tls ? QLatin1String("https") : QLatin1String("http")).arg(m_port);
}

void TestServer::addPage(const QString& path, const QByteArray& body, const QByteArray& contentType)
{
    QMutexLocker lock(&m_mutex);
    m_pages.insert(path, {contentType, body});
}

void TestServer::addTestPages()
{
    for (const QFileInfo& file : QDir(QStringLiteral(PULLMARK_TEST_PAGES)).entryInfoList(QDir::Files)) {
        QFile content(file.filePath());
        content.open(QIODevice::ReadOnly);
        addPage(QLatin1Char('/') + file.fileName(), content.readAll(),
                file.suffix() == QLatin1String("xml") ? "application/xml" : "text/html; charset=utf-8");
    }
}

void TestServer::release(const QString& key)
{
    {
        QMutexLocker lock(&m_mutex);
        m_released.append(key);
    }
    emit released(key);
}

namespace {
QMutex s_answeringLock;
int s_answering = 0;
int s_mostAnswering = 0;
}  // namespace

void TestServer::answering(int change)
{
    QMutexLocker lock(&m_mutex);
    m_answering += change;
    m_mostAnswering = std::max(m_mostAnswering, m_answering);
    QMutexLocker all(&s_answeringLock);
    s_answering += change;
    s_mostAnswering = std::max(s_mostAnswering, s_answering);
}

int TestServer::countPrefixed(const QStringList& list, const QString& prefix)
{
    return int(std::count_if(list.begin(), list.end(), [&](const QString& s) { return s.startsWith(prefix); }));
}

int TestServer::mostAtOnceOverall()
{
    QMutexLocker all(&s_answeringLock);
    return s_mostAnswering;
}

void TestServer::resetMostAtOnce()
{
    QMutexLocker all(&s_answeringLock);
    s_mostAnswering = s_answering;
}

}  // namespace pm::test
