#include "core/download/curlmulti.h"

#include <QSocketNotifier>

#include <curl/curl.h>

#include <memory>

namespace pm {

// What the event loop watches of one of libcurl's sockets.
struct CurlMulti::Socket {
    std::unique_ptr<QSocketNotifier> read;
    std::unique_ptr<QSocketNotifier> write;
};

namespace {
// libcurl's global set-up, once per process before the first handle.
void initialiseCurl()
{
    static const bool done = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    Q_UNUSED(done);
}

// A notifier may be deleted from inside its own activated() signal: it is
// switched off at once and goes from the event loop.
void retire(std::unique_ptr<QSocketNotifier>& notifier)
{
    if (!notifier)
        return;
    notifier->setEnabled(false);
    notifier.release()->deleteLater();
}
}  // namespace

CurlMulti::CurlMulti(QObject* parent) : QObject(parent)
{
    initialiseCurl();
    m_multi = curl_multi_init();
    curl_multi_setopt(m_multi, CURLMOPT_SOCKETFUNCTION, &CurlMulti::onSocket);
    curl_multi_setopt(m_multi, CURLMOPT_SOCKETDATA, this);
    curl_multi_setopt(m_multi, CURLMOPT_TIMERFUNCTION, &CurlMulti::onTimer);
    curl_multi_setopt(m_multi, CURLMOPT_TIMERDATA, this);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] { act(CURL_SOCKET_TIMEOUT, 0); });
}

CurlMulti::~CurlMulti()
{
    for (auto it = m_done.keyBegin(); it != m_done.keyEnd(); ++it)
        curl_multi_remove_handle(m_multi, *it);
    curl_multi_cleanup(m_multi);  // closes the kept connections; onSocket() drops their notifiers
}

bool CurlMulti::add(CURL* easy, std::function<void(int)> done)
{
    if (curl_multi_add_handle(m_multi, easy) != CURLM_OK)
        return false;
    m_done.insert(easy, std::move(done));
    return true;
}

void CurlMulti::remove(CURL* easy)
{
    if (!m_done.remove(easy))
        return;
    if (m_depth > 0)
        m_removeLater.insert(easy);
    else
        curl_multi_remove_handle(m_multi, easy);
}

int CurlMulti::onSocket(CURL*, int fd, int what, void* self, void* socketData)
{
    auto* engine = static_cast<CurlMulti*>(self);
    auto* socket = static_cast<Socket*>(socketData);
    if (what == CURL_POLL_REMOVE) {
        if (socket) {
            retire(socket->read);
            retire(socket->write);
            delete socket;
            curl_multi_assign(engine->m_multi, fd, nullptr);
        }
        return 0;
    }
    if (!socket) {
        socket = new Socket;
        socket->read = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        socket->write = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
        connect(socket->read.get(), &QSocketNotifier::activated, engine, [engine, fd] { engine->act(fd, CURL_CSELECT_IN); });
        connect(socket->write.get(), &QSocketNotifier::activated, engine, [engine, fd] { engine->act(fd, CURL_CSELECT_OUT); });
        curl_multi_assign(engine->m_multi, fd, socket);
    }
    engine->setWatching(socket, what);
    return 0;
}

void CurlMulti::setWatching(Socket* socket, int what)
{
    socket->read->setEnabled(what == CURL_POLL_IN || what == CURL_POLL_INOUT);
    socket->write->setEnabled(what == CURL_POLL_OUT || what == CURL_POLL_INOUT);
}

int CurlMulti::onTimer(CURLM*, long timeoutMs, void* self)
{
    auto* engine = static_cast<CurlMulti*>(self);
    // libcurl is never called back from inside itself: even "now" waits
    // for the event loop.
    if (timeoutMs < 0)
        engine->m_timer.stop();
    else
        engine->m_timer.start(int(std::min<long>(timeoutMs, 24L * 3600 * 1000)));
    return 0;
}

void CurlMulti::act(int fd, int events)
{
    int running = 0;
    ++m_depth;
    curl_multi_socket_action(m_multi, fd, events, &running);
    --m_depth;
    for (CURL* easy : std::as_const(m_removeLater))
        curl_multi_remove_handle(m_multi, easy);
    m_removeLater.clear();
    collectFinished();
    emit processed();
}

void CurlMulti::collectFinished()
{
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(m_multi, &left)) {
        if (message->msg != CURLMSG_DONE)
            continue;
        CURL* easy = message->easy_handle;
        const int result = message->data.result;
        curl_multi_remove_handle(m_multi, easy);
        if (std::function<void(int)> done = m_done.take(easy))
            done(result);  // may add the handle again, for a redirect
    }
}

}  // namespace pm
