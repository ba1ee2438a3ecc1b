#include "core/found/urlprober.h"

#include "core/download/websession.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

namespace pm {

namespace {
// Cached answers given per pass of the event loop, so that a page probed
// before does not hold up the window.
constexpr int kAnswersPerPass = 256;

// A header of the last response of `reply`'s redirect chain: QNetworkReply
// joins the values of every response with ", ", the final one last.
QByteArray finalResponseHeader(const QNetworkReply* reply, const QByteArray& name, bool redirected)
{
    const QByteArray value = reply->rawHeader(name);
    if (!redirected)
        return value;
    const int comma = value.lastIndexOf(',');
    return comma < 0 ? value : value.mid(comma + 1).trimmed();
}

// "host:port": the servers the per-server limit counts. An address that
// cannot be probed gives "".
QString serverOf(const QString& url)
{
    const QUrl parsed(url);
    const QString scheme = parsed.scheme().toLower();
    if (!parsed.isValid() || parsed.host().isEmpty()
        || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return {};
    return parsed.host().toLower() + QLatin1Char(':')
        + QString::number(parsed.port(scheme == QLatin1String("https") ? 443 : 80));
}
}  // namespace

UrlProber::UrlProber(QObject* parent) : QObject(parent), m_network(new QNetworkAccessManager(this)) {}

UrlProber::~UrlProber()
{
    cancelAll();
}

std::optional<ProbeResult> UrlProber::result(const QString& url) const
{
    const auto found = m_cache.constFind(url);
    return found == m_cache.constEnd() ? std::nullopt : std::optional<ProbeResult>(*found);
}

void UrlProber::setSession(WebSession* session)
{
    m_session = session;
    if (session)
        session->attach(m_network);
}

void UrlProber::probe(const QStringList& urls, const QString& foundOn)
{
    for (const QString& url : urls) {
        if (m_pending.contains(url))
            continue;
        if (!m_cache.contains(url)) {
            const QString server = serverOf(url);
            if (server.isEmpty()) {
                m_cache.insert(url, {0, {}, -1, url, QStringLiteral("not an http or https address"), false, {}});
            } else {
                Server& s = m_servers[server];
                s.waiting.emplace_back(m_nextOrder++, url);
                ++m_waitingCount;
                m_pending.insert(url);
                if (!foundOn.isEmpty())
                    m_foundOn.insert(url, foundOn);
                if (s.waiting.size() == 1)
                    markReady(server);
                continue;
            }
        }
        m_answers.push_back(url);
    }
    startWaiting();
    if (!m_answers.empty() && !m_deliveryDue) {
        m_deliveryDue = true;
        QTimer::singleShot(0, this, &UrlProber::deliverCached);
    }
}

void UrlProber::markReady(const QString& server)
{
    const Server& s = m_servers[server];
    if (!s.waiting.empty() && s.running < kMostPerServer)
        m_ready.emplace(s.waiting.front().first, server);  // no-op when it is there already
}

void UrlProber::startWaiting()
{
    // The first address in order whose server has a free place: found
    // through the servers' first addresses, however long the queue.
    while (int(m_running.size()) < kMostAtOnce && !m_ready.empty()) {
        const QString server = m_ready.begin()->second;
        m_ready.erase(m_ready.begin());
        Server& s = m_servers[server];
        const QString url = s.waiting.front().second;
        s.waiting.pop_front();
        --m_waitingCount;
        ++s.running;
        markReady(server);
        Running& probe = m_running.emplace_back();
        probe.url = url;
        probe.server = server;
        send(probe);
    }
}

void UrlProber::send(Running& probe)
{
    QNetworkRequest request{QUrl(probe.url)};
    if (m_session)
        m_session->prepare(request, m_foundOn.value(probe.url));
    // Content-Length must be the file's own size, not a compressed one's.
    request.setRawHeader("Accept-Encoding", "identity");
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setTransferTimeout(kTimeoutMs);
    if (probe.get)
        request.setRawHeader("Range", "bytes=0-0");
    probe.reply = probe.get ? m_network->get(request) : m_network->head(request);
    probe.reply->setReadBufferSize(64 * 1024);
    Running* p = &probe;  // list elements stay where they are
    connect(probe.reply, &QNetworkReply::redirected, this, [p] { p->redirected = true; });
    connect(probe.reply, &QNetworkReply::metaDataChanged, this, [this, p] { onMetaData(*p); });
    connect(probe.reply, &QNetworkReply::finished, this, [this, p] { onFinished(*p); });
}

void UrlProber::onMetaData(Running& probe)
{
    QNetworkReply* reply = probe.reply;
    if (reply->attribute(QNetworkRequest::RedirectionTargetAttribute).isValid())
        return;  // followed; the final response comes later
    ProbeResult& r = probe.result;
    r.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    r.finalUrl = reply->url().toString();
    r.contentType = QString::fromLatin1(finalResponseHeader(reply, "Content-Type", probe.redirected));
    r.rangedGet = probe.get;
    r.contentDisposition = finalResponseHeader(reply, "Content-Disposition", probe.redirected);
    bool ok = false;
    if (r.status == 206) {
        // "bytes 0-0/TOTAL"; "*" when the server does not know.
        const QByteArray range = finalResponseHeader(reply, "Content-Range", probe.redirected);
        const qint64 total = range.mid(range.lastIndexOf('/') + 1).trimmed().toLongLong(&ok);
        r.size = ok ? total : -1;
    } else if (r.status < 400) {
        const qint64 length = finalResponseHeader(reply, "Content-Length", probe.redirected).trimmed().toLongLong(&ok);
        r.size = ok ? length : -1;
    }
    probe.haveAnswer = true;
    if (probe.get)
        reply->abort();  // the headers are all a probe needs; finished() follows inside abort()
}

void UrlProber::onFinished(Running& probe)
{
    QNetworkReply* reply = probe.reply;
    reply->disconnect(this);
    reply->deleteLater();
    const bool refused = probe.result.status == 405 || probe.result.status == 501 || !probe.haveAnswer;
    if (!probe.get && refused) {
        probe.get = true;
        probe.haveAnswer = probe.redirected = false;
        probe.result = {};
        return send(probe);
    }
    if (!probe.haveAnswer) {
        probe.result.finalUrl = reply->url().toString();
        probe.result.networkError = reply->errorString();
        probe.result.rangedGet = probe.get;
    }
    const QString url = probe.url;
    const QString server = probe.server;
    const ProbeResult result = probe.result;
    m_running.remove_if([&probe](const Running& r) { return &r == &probe; });
    if (Server& s = m_servers[server]; --s.running == 0 && s.waiting.empty())
        m_servers.remove(server);
    else
        markReady(server);
    m_pending.remove(url);
    m_foundOn.remove(url);
    m_cache.insert(url, result);
    emit probed(url, result);
    startWaiting();
    if (m_running.empty() && waitingCount() == 0)
        emit idle();
}

void UrlProber::deliverCached()
{
    m_deliveryDue = false;
    for (int n = 0; n < kAnswersPerPass && !m_answers.empty(); ++n) {
        const QString url = m_answers.front();
        m_answers.pop_front();
        emit probed(url, m_cache.value(url));
    }
    if (!m_answers.empty()) {
        m_deliveryDue = true;
        QTimer::singleShot(0, this, &UrlProber::deliverCached);
    } else if (m_running.empty() && m_waitingCount == 0) {
        emit idle();
    }
}

void UrlProber::cancelAll()
{
    m_answers.clear();
    m_servers.clear();
    m_ready.clear();
    m_pending.clear();
    m_foundOn.clear();
    m_waitingCount = 0;
    std::list<Running> running;
    running.swap(m_running);
    for (Running& probe : running) {
        probe.reply->disconnect(this);
        probe.reply->abort();
        probe.reply->deleteLater();
    }
}

}  // namespace pm
