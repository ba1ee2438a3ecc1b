#include "core/download/backgroundhash.h"

#include <cstring>

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
    int slot = 0;
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_count < kQueued; });
        slot = (m_first + m_count) % kQueued;
    }
    // The worker does not touch a slot beyond the pieces counted.
    QByteArray& buffer = m_ring[size_t(slot)];
    buffer.resize(piece.size());  // never shrinks its room
    std::memcpy(buffer.data(), piece.data(), size_t(piece.size()));
    {
        std::lock_guard lock(m_mutex);
        ++m_count;
    }
    m_changed.notify_all();
    if (!m_thread.joinable())
        m_thread = std::thread([this] { run(); });  // the first large body starts it
}

void BackgroundHash::drain()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_count == 0; });
}

void BackgroundHash::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_quit || m_count > 0; });
        if (m_quit)
            return;
        const QByteArray& piece = m_ring[size_t(m_first)];
        lock.unlock();
        m_hash.addData(piece);
        lock.lock();
        m_first = (m_first + 1) % kQueued;
        --m_count;
        m_changed.notify_all();  // room in the ring, or drained
    }
}

}  // namespace pm
