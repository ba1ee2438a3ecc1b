#pragma once
// Hashing beside the transfer. A large body is received, written and hashed
// piece by piece; on one thread the three run one after another, so the hash
// of each piece is handed to a thread of its own and runs while the next
// piece arrives. The queue of pieces is bounded: a hash that falls behind
// holds the transfer back instead of filling memory.

#include "core/download/contenthash.h"

#include <QByteArray>
#include <QByteArrayView>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace pm {

class BackgroundHash {
public:
    explicit BackgroundHash(ContentHash& hash) : m_hash(hash) {}
    ~BackgroundHash();
    BackgroundHash(const BackgroundHash&) = delete;
    BackgroundHash& operator=(const BackgroundHash&) = delete;

    // Adds a copy of `piece` to the hash; waits while the queue is full.
    void add(QByteArrayView piece);
    // Waits until every piece added is in the hash. The hash is touched by
    // nothing else until the next add().
    void drain();

    // Pieces waiting at most: 16 of 256 KiB, about two milliseconds of hashing.
    static constexpr int kQueued = 16;

private:
    void run();

    ContentHash& m_hash;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<QByteArray> m_pieces;
    bool m_hashing = false;  // the worker holds a piece taken off the queue
    bool m_quit = false;
};

}  // namespace pm
