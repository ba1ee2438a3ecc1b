#pragma once
// Hashing beside the transfer. A large body is received, written and hashed
// piece by piece; on one thread the three run one after another, so the hash
// of each piece is handed to a thread of its own and runs while the next
// piece arrives. The queue of pieces is bounded: a hash that falls behind
// holds the transfer back instead of filling memory. Its buffers are reused:
// a new allocation of this size for every piece costs the allocator a fresh
// mapping and the kernel its page faults, which took more processor time
// than the hashing itself.

#include "core/download/contenthash.h"

#include <QByteArray>
#include <QByteArrayView>

#include <condition_variable>
#include <array>
#include <mutex>
#include <thread>

namespace pm {

class BackgroundHash {
public:
    // Pieces waiting at most: 8 of 256 KiB, about a millisecond of hashing,
    // and 2 MiB kept for the next large body.
    static constexpr int kQueued = 8;

    explicit BackgroundHash(ContentHash& hash) : m_hash(hash) {}
    ~BackgroundHash();
    BackgroundHash(const BackgroundHash&) = delete;
    BackgroundHash& operator=(const BackgroundHash&) = delete;

    // Adds a copy of `piece` to the hash; waits while the queue is full.
    void add(QByteArrayView piece);
    // Waits until every piece added is in the hash. The hash is touched by
    // nothing else until the next add().
    void drain();

private:
    void run();

    ContentHash& m_hash;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::array<QByteArray, kQueued> m_ring;
    int m_first = 0;  // the piece the worker hashes next
    int m_count = 0;  // pieces added and not yet hashed
    bool m_quit = false;
};

}  // namespace pm
