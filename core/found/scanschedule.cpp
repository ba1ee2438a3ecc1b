#include "core/found/scanschedule.h"

#include <algorithm>
#include <utility>

namespace pm {

void ScanSchedule::request(ScanTrigger trigger)
{
    if (!m_waiting || *m_waiting < trigger)
        m_waiting = trigger;
}

qint64 ScanSchedule::dueAt() const
{
    if (*m_waiting != ScanTrigger::Change || !m_lastStart)
        return 0;
    return *m_lastStart + kChangeIntervalMs;
}

std::optional<ScanTrigger> ScanSchedule::start(qint64 now)
{
    if (m_running || !m_waiting || dueAt() > now)
        return std::nullopt;
    m_running = true;
    m_lastStart = now;
    return std::exchange(m_waiting, std::nullopt);
}

qint64 ScanSchedule::delay(qint64 now) const
{
    if (m_running || !m_waiting)
        return -1;
    return std::max<qint64>(0, dueAt() - now);
}

std::optional<ScanTrigger> ScanSchedule::reset()
{
    m_running = false;
    return std::exchange(m_waiting, std::nullopt);
}

}  // namespace pm
