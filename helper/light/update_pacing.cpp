#include "update_pacing.h"

#include <algorithm>
#include <chrono>

namespace light {

std::int64_t steadyNowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void UpdateWindow::record(std::int64_t nowNs)
{
    m_times[std::size_t(m_next)] = nowNs;
    m_next = (m_next + 1) % kUpdatesPerSecond;
    m_count = std::min(m_count + 1, kUpdatesPerSecond);
}

int SlotGrid::timerMs(std::int64_t nowNs, bool waiting) const
{
    constexpr std::int64_t kMs = 1000 * 1000;
    const std::int64_t left = std::max<std::int64_t>(0, m_nextNs - nowNs);
    return int(waiting ? std::max<std::int64_t>(0, left / kMs - 1) : (left + kMs - 1) / kMs);
}

}  // namespace light
