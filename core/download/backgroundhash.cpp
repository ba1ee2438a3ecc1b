#include "core/download/backgroundhash.h"

namespace pm {

BackgroundHash::~BackgroundHash()
{
    if (!m_thread.joinable())
        return;
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void BackgroundHash::add(QByteArrayView piece)
{
    QByteArray copy(piece.data(), piece.size());
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_pieces.size() < size_t(kQueued); });
        m_pieces.push_back(std::move(copy));
    }
    m_changed.notify_all();
    if (!m_thread.joinable())
        m_thread = std::thread([this] { run(); });  // the first large body starts it
}

void BackgroundHash::drain()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_pieces.empty() && !m_hashing; });
}

void BackgroundHash::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_quit || !m_pieces.empty(); });
        if (m_quit)
            return;
        QByteArray piece = std::move(m_pieces.front());
        m_pieces.pop_front();
        m_hashing = true;
        lock.unlock();
        m_changed.notify_all();  // room in the queue
        m_hash.addData(piece);
        lock.lock();
        m_hashing = false;
        m_changed.notify_all();  // perhaps drained
    }
}

}  // namespace pm
