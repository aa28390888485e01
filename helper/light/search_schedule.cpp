#include "search_schedule.h"

#include <algorithm>

void SearchSchedule::restart(std::int64_t nowMs)
{
    m_since = nowMs;
    m_delayMs = kFastIntervalMs;
}

std::int64_t SearchSchedule::nextDelayMs(std::int64_t nowMs)
{
    if (!slowed(nowMs))
        return m_delayMs = kFastIntervalMs;
    m_delayMs = std::min(m_delayMs * 2, kSlowestIntervalMs);
    return m_delayMs;
}
