#pragma once
// The engine the downloads run on: one libcurl multi handle driven from the
// Qt event loop. libcurl says which sockets it waits on and when it next
// needs a call (CURLMOPT_SOCKETFUNCTION, CURLMOPT_TIMERFUNCTION); a socket
// notifier per socket and one single-shot timer give it those calls. The
// transfers share the handle's connections, so a run of small files from one
// server reuses one connection instead of opening one a file.
//
// Everything runs on the thread that owns the engine. libcurl must not be
// re-entered from its own callbacks: remove() called from inside one (a write
// callback that ends a transfer, a progress signal that cancels) is carried
// out once libcurl has returned.

#include <QHash>
#include <QObject>
#include <QSet>
#include <QTimer>

#include <functional>

typedef void CURL;
typedef void CURLM;

namespace pm {

class CurlMulti : public QObject {
    Q_OBJECT
public:
    explicit CurlMulti(QObject* parent = nullptr);
    ~CurlMulti() override;

    // Starts `easy`; `done` is called with its CURLcode once it has ended,
    // from the event loop, after libcurl has let go of it. Returns false when
    // libcurl refused the handle.
    bool add(CURL* easy, std::function<void(int)> done);
    // Stops `easy` without calling its `done`. Safe from inside its callbacks.
    void remove(CURL* easy);
    // Transfers running.
    int count() const { return int(m_done.size()); }

signals:
    // libcurl has done what a socket or its timer asked for and returned.
    void processed();

private:
    struct Socket;
    static int onSocket(CURL* easy, int fd, int what, void* self, void* socketData);
    static int onTimer(CURLM* multi, long timeoutMs, void* self);
    void act(int fd, int events);
    void collectFinished();
    void setWatching(Socket* socket, int what);

    CURLM* m_multi;
    QTimer m_timer;
    QHash<CURL*, std::function<void(int)>> m_done;
    QSet<CURL*> m_removeLater;  // asked for while libcurl was running
    int m_depth = 0;            // calls into libcurl under way
};

}  // namespace pm
