#include "tests/support/testserver.h"

#include <QDir>
#include <QMetaObject>
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

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 400: return "Bad Request";
    case 403: return "Forbidden";
    case 206: return "Partial Content";
    case 404: return "Not Found";
    case 416: return "Range Not Satisfiable";
    case 429: return "Too Many Requests";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return "Status";
    }
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
        connect(&m_drip, &QTimer::timeout, this, [this] { m_dripDue = true; pump(); });
    }

private:
    struct Response {
        int status = 200;
        QByteArray contentType = "application/octet-stream";
        QByteArray body;            // a fixed body, or
        qint64 generated = -1;      // a generated one of this many bytes
        QByteArray lengthHeader;    // Content-Length text; empty: none
        qint64 sendLimit = -1;      // hang up after this many body bytes
        QByteArray location;
        bool closeAfter = false;
        qint64 dripChunk = 0;
        int dripMs = 0;
        qint64 offset = 0;          // where a generated body starts in the pattern
        QByteArray extraHeaders;    // complete header lines
        int delayMs = 0;            // before the response starts
        bool hangUp = false;        // no response: the connection is closed
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
        const Response response = route(QString::fromLatin1(requestLine[1]));
        setBusy(true);
        if (response.delayMs > 0)
            QTimer::singleShot(response.delayMs, this, [this, response] { start(response); });
        else
            start(response);
    }

    // Ranges, validators and dropped connections for /range; see the header.
    void rangeRoute(Response& r, const QUrlQuery& query, qint64 size, int attempt)
    {
        const bool changed = attempt > 1 && query.hasQueryItem(QStringLiteral("etag2"));
        const QByteArray etag =
            '"' + query.queryItemValue(changed ? QStringLiteral("etag2") : QStringLiteral("etag")).toLatin1() + '"';
        r.generated = size;
        r.extraHeaders = "ETag: " + etag + "\r\nAccept-Ranges: bytes\r\n";
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
        const bool honoured = query.queryItemValue(QStringLiteral("ranges")) != QLatin1String("0")
            && range.startsWith("bytes=") && (ifRange.isEmpty() || ifRange == etag);
        if (honoured) {
            const qint64 from = range.mid(6, range.indexOf('-') - 6).toLongLong();
            bool bounded = false;
            const qint64 to = std::min(range.mid(range.indexOf('-') + 1).toLongLong(&bounded), size - 1);
            if (from >= size) {
                r.status = 416;
                r.generated = 0;
                r.extraHeaders += "Content-Range: bytes */" + QByteArray::number(size) + "\r\n";
            } else {
                const qint64 last = bounded ? to : size - 1;
                r.status = 206;
                r.offset = from;
                r.generated = last - from + 1;
                r.extraHeaders += "Content-Range: bytes " + QByteArray::number(from) + '-' + QByteArray::number(last)
                    + '/' + QByteArray::number(size) + "\r\n";
            }
        }
        r.lengthHeader = QByteArray::number(r.generated);
    }

    Response route(const QString& target)
    {
        int attempt = 0;  // how many times this exact target has been asked for, this time included
        {
            QMutexLocker lock(&m_server->m_mutex);
            m_server->m_requests.append(target);
            attempt = ++m_server->m_attempts[target];
        }
        const QUrl url(target);
        const QString path = url.path();
        const QUrlQuery query(url);
        const qint64 size = query.queryItemValue(QStringLiteral("size")).toLongLong();
        Response r;
        r.delayMs = query.queryItemValue(QStringLiteral("delay")).toInt();
        if (const QString head = query.queryItemValue(QStringLiteral("head")); m_headOnly && !head.isEmpty()) {
            QMutexLocker lock(&m_server->m_mutex);
            m_server->m_heads.append(target);
            r.hangUp = head == QLatin1String("drop");
            r.status = head.toInt();
            r.lengthHeader = "0";
            return r;
        }
        if (m_headOnly) {
            QMutexLocker lock(&m_server->m_mutex);
            m_server->m_heads.append(target);
        }

        {
            QMutexLocker lock(&m_server->m_mutex);
            const auto page = m_server->m_pages.constFind(path);
            if (page != m_server->m_pages.constEnd()) {
                r.contentType = page->first;
                r.body = page->second;
                r.lengthHeader = QByteArray::number(r.body.size());
                return r;
            }
        }
        const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
        const QString kind = parts.value(0);
        if (kind == QLatin1String("file")) {
            r.generated = size;
            r.offset = query.queryItemValue(QStringLiteral("seed")).toLongLong();
            r.lengthHeader = QByteArray::number(size);
        } else if (kind == QLatin1String("drip")) {
            r.generated = size;
            r.lengthHeader = QByteArray::number(size);
            r.dripChunk = std::max<qint64>(1, query.queryItemValue(QStringLiteral("chunk")).toLongLong());
            r.dripMs = query.queryItemValue(QStringLiteral("ms")).toInt();
        } else if (kind == QLatin1String("drop")) {
            r.generated = size;
            r.lengthHeader = QByteArray::number(size);
            r.sendLimit = query.queryItemValue(QStringLiteral("after")).toLongLong();
            r.closeAfter = true;
        } else if (kind == QLatin1String("short")) {
            r.generated = size;
            r.lengthHeader = query.queryItemValue(QStringLiteral("claim")).toLatin1();
            r.closeAfter = true;
        } else if (kind == QLatin1String("length")) {
            r.generated = size;
            r.lengthHeader = query.queryItemValue(QStringLiteral("value")).toLatin1();
            r.closeAfter = true;
        } else if (kind == QLatin1String("nolength")) {
            r.generated = size;
            r.closeAfter = true;
        } else if (kind == QLatin1String("range")) {
            rangeRoute(r, query, size, attempt);
        } else if (kind == QLatin1String("flaky")) {
            if (attempt <= query.queryItemValue(QStringLiteral("fails")).toInt()) {
                r.status = query.queryItemValue(QStringLiteral("status")).toInt();
                r.body = "<html><body>Try again</body></html>";
                r.lengthHeader = QByteArray::number(r.body.size());
                const QString after = query.queryItemValue(QStringLiteral("retryafter"));
                if (!after.isEmpty())
                    r.extraHeaders = "Retry-After: " + after.toLatin1() + "\r\n";
            } else {
                r.generated = size;
                r.lengthHeader = QByteArray::number(size);
            }
        } else if (kind == QLatin1String("status")) {
            r.status = parts.value(1).toInt();
            r.contentType = "text/html";
            r.body = "<html><body>Status " + parts.value(1).toLatin1() + "</body></html>";
            r.lengthHeader = QByteArray::number(r.body.size());
        } else if (kind == QLatin1String("redirect")) {
            const int left = parts.value(1).toInt();
            const QString to = query.queryItemValue(QStringLiteral("to"), QUrl::FullyDecoded);
            r.status = 302;
            r.location = left > 1 ? QStringLiteral("/redirect/%1?to=%2").arg(left - 1).arg(QString::fromLatin1(QUrl::toPercentEncoding(to))).toLatin1()
                                  : to.toLatin1();
            r.lengthHeader = "0";
        } else if (kind == QLatin1String("loop")) {
            r.status = 302;
            r.location = "/loop";
            r.lengthHeader = "0";
        } else {
            r.status = 404;
            r.contentType = "text/html";
            r.body = "<html><body>Not found</body></html>";
            r.lengthHeader = QByteArray::number(r.body.size());
        }
        return r;
    }

    void start(const Response& response)
    {
        if (response.hangUp) {
            setBusy(false);
            m_socket->disconnectFromHost();
            return;
        }
        m_response = response;
        m_sent = 0;
        m_dripDue = true;
        QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + reasonPhrase(response.status) + "\r\n";
        head += "Content-Type: " + response.contentType + "\r\n";
        if (!response.lengthHeader.isEmpty())
            head += "Content-Length: " + response.lengthHeader + "\r\n";
        if (!response.location.isEmpty())
            head += "Location: " + response.location + "\r\n";
        head += response.extraHeaders;
        head += response.closeAfter ? "Connection: close\r\n" : "Connection: keep-alive\r\n";
        head += "\r\n";
        if (m_headOnly) {
            m_response.generated = -1;
            m_response.body.clear();
        }
        // Header and first part of the body in one write.
        m_socket->write(head + nextBodyPart());
        if (bodyLeft() == 0 && m_socket->bytesToWrite() == 0)
            finish();
    }

    qint64 bodySize() const
    {
        qint64 total = m_response.generated >= 0 ? m_response.generated : m_response.body.size();
        if (m_response.sendLimit >= 0)
            total = std::min(total, m_response.sendLimit);
        return total;
    }

    qint64 bodyLeft() const { return bodySize() - m_sent; }

    QByteArray nextBodyPart()
    {
        qint64 count = std::min(kChunk, bodyLeft());
        if (m_response.dripChunk > 0) {
            if (!m_dripDue)
                return {};
            count = std::min(count, m_response.dripChunk);
            m_dripDue = false;
            if (bodyLeft() - count > 0)
                m_drip.start(m_response.dripMs);
        }
        if (count <= 0)
            return {};
        QByteArray part;
        if (m_response.generated >= 0) {
            part.resize(count);
            for (qint64 i = 0; i < count; ++i)
                part[i] = patternByte(m_response.offset + m_sent + i);
        } else {
            part = m_response.body.mid(m_sent, count);
        }
        m_sent += count;
        return part;
    }

    void pump()
    {
        if (!m_busy)
            return;
        if (bodyLeft() > 0) {
            if (m_socket->bytesToWrite() < kChunk) {
                const QByteArray part = nextBodyPart();
                if (!part.isEmpty())
                    m_socket->write(part);
            }
            return;
        }
        if (m_socket->bytesToWrite() == 0)
            finish();
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
        if (m_response.closeAfter) {
            m_socket->disconnectFromHost();
            return;
        }
        if (!m_buffer.isEmpty())
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
    bool m_dripDue = true;
    QTimer m_drip;
};

TestServer::TestServer(QObject* parent) : QObject(parent), m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &TestServer::onNewConnection);
}

TestServer::~TestServer()
{
    if (m_thread) {
        QMetaObject::invokeMethod(this, [this] { m_server->close(); moveToThread(m_thread->thread()); },
                                  Qt::BlockingQueuedConnection);
        m_thread->quit();
        m_thread->wait();
        delete m_thread;
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
    auto doListen = [&] {
        ok = m_server->listen(QHostAddress::LocalHost, port);
        m_port = m_server->serverPort();
    };
    if (m_thread)
        QMetaObject::invokeMethod(this, doListen, Qt::BlockingQueuedConnection);
    else
        doListen();
    return ok;
}

QString TestServer::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_port);
}

void TestServer::addPage(const QString& path, const QByteArray& body, const QByteArray& contentType)
{
    QMutexLocker lock(&m_mutex);
    m_pages.insert(path, {contentType, body});
}

void TestServer::addTestPages()
{
    const QDir pages(QStringLiteral(PULLMARK_TEST_PAGES));
    for (const QFileInfo& file : pages.entryInfoList(QDir::Files)) {
        QFile content(file.filePath());
        content.open(QIODevice::ReadOnly);
        addPage(QLatin1Char('/') + file.fileName(), content.readAll(),
                file.suffix() == QLatin1String("xml") ? "application/xml" : "text/html; charset=utf-8");
    }
}

QStringList TestServer::requests() const
{
    QMutexLocker lock(&m_mutex);
    return m_requests;
}

QStringList TestServer::rangesAskedFor() const
{
    QMutexLocker lock(&m_mutex);
    return m_ranges;
}

int TestServer::headCount(const QString& pathPrefix) const
{
    QMutexLocker lock(&m_mutex);
    return int(std::count_if(m_heads.begin(), m_heads.end(), [&](const QString& r) { return r.startsWith(pathPrefix); }));
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

int TestServer::mostAtOnce() const
{
    QMutexLocker lock(&m_mutex);
    return m_mostAnswering;
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

int TestServer::requestCount(const QString& pathPrefix) const
{
    QMutexLocker lock(&m_mutex);
    int count = 0;
    for (const QString& request : m_requests)
        count += request.startsWith(pathPrefix) ? 1 : 0;
    return count;
}

void TestServer::onNewConnection()
{
    while (QTcpSocket* socket = m_server->nextPendingConnection())
        new Connection(this, socket);
}

}  // namespace pm::test
