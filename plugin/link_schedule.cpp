#include "link_schedule.h"

#include <algorithm>

void LinkSchedule::attempted(std::int64_t now, Found found)
{
    m_nobodyListened = found == Found::Nobody;
    switch (found) {
    case Found::Listening:
        m_fruitlessStarts = 0;
        return;
    case Found::Busy:
        m_nextAttempt = now + m_timing.fastRetryMs;
        return;
    case Found::Nobody:
        if (helperStarting(now)) {
            m_nextAttempt = now + m_timing.fastRetryMs;
            return;
        }
        m_nextAttempt = now + m_timing.slowRetryMs;
        // Not later than the moment a start becomes due.
        if (m_everStarted && !gaveUp())
            m_nextAttempt = std::max(now, std::min(m_nextAttempt, m_lastStart + m_timing.restartIntervalMs));
        return;
    }
}

void LinkSchedule::lost(std::int64_t now)
{
    m_nextAttempt = now;
}

void LinkSchedule::started(std::int64_t now, bool running)
{
    m_everStarted = true;
    m_lastStartRan = running;
    m_lastStart = now;
    ++m_fruitlessStarts;
    m_nextAttempt = now + m_timing.fastRetryMs;
}

bool LinkSchedule::mayStart(std::int64_t now) const
{
    return !gaveUp() && (!m_everStarted || now - m_lastStart >= m_timing.restartIntervalMs);
}

bool LinkSchedule::startDue(std::int64_t now) const
{
    return m_nobodyListened && mayStart(now);
}

bool LinkSchedule::helperStarting(std::int64_t now) const
{
    return m_lastStartRan && m_fruitlessStarts > 0 && now - m_lastStart < m_timing.startingPeriodMs;
}
