#pragma once
// When the page on display is read for the found list. One read at a time:
// a read asked for while one runs waits for it, and of several waiting
// requests the strongest stands for all. A read at one of the load's steps
// (a document parsed, the load's end) starts as soon as none runs; a read
// for a change of the page starts no sooner than kChangeIntervalMs after the
// previous read began, so a page that changes all the time costs one read
// in that time.
//
// The schedule keeps no clock: the caller passes the time, in milliseconds
// (0 or more) of a steady clock, and starts a timer for delay().

#include <QtGlobal>

#include <optional>

namespace pm {

// Why the page is read; weakest first.
enum class ScanTrigger {
    Change,          // the page changed after it was read
    DocumentParsed,  // one of the page's documents has been parsed
    LoadEnded,       // the load finished, failed or was stopped
};

class ScanSchedule {
public:
    static constexpr qint64 kChangeIntervalMs = 400;

    void request(ScanTrigger trigger);
    // The read to begin at `now`, if one waits, is due and none runs; it
    // runs until finished().
    std::optional<ScanTrigger> start(qint64 now);
    void finished() { m_running = false; }
    // Milliseconds from `now` until the waiting read is due (0: due now);
    // -1 when none waits or a read runs.
    qint64 delay(qint64 now) const;
    // A new load: the running read no longer holds the next one back, and
    // the waiting request is dropped. Returns the dropped request.
    std::optional<ScanTrigger> reset();

    bool running() const { return m_running; }
    std::optional<ScanTrigger> waiting() const { return m_waiting; }

private:
    // When the waiting read may begin.
    qint64 dueAt() const;

    std::optional<ScanTrigger> m_waiting;
    bool m_running = false;
    std::optional<qint64> m_lastStart;
};

}  // namespace pm
