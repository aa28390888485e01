// When to look again for a light device that is not there: every 2 s while
// the search is young (the first two minutes after the helper starts, after
// a device was lost, or after the settings were reloaded), so a device
// that restarts is found at once; then at intervals that double up to
// 30 s, so a helper without a device hardly wakes. Pure: the caller tells
// the time.
#pragma once

#include <cstdint>

class SearchSchedule
{
public:
    static constexpr std::int64_t kFastPhaseMs = 2 * 60 * 1000;
    static constexpr std::int64_t kFastIntervalMs = 2000;
    static constexpr std::int64_t kSlowestIntervalMs = 30 * 1000;

    // `fastPhaseMs`: how long the search stays fast (the tests shorten it).
    explicit SearchSchedule(std::int64_t fastPhaseMs = kFastPhaseMs) : m_fastPhaseMs(fastPhaseMs) {}

    // The search begins (again) at `nowMs`: fast from then on.
    void restart(std::int64_t nowMs);
    // How long to wait after an attempt made at `nowMs`.
    std::int64_t nextDelayMs(std::int64_t nowMs);
    // Whether the search has slowed down.
    bool slowed(std::int64_t nowMs) const { return nowMs - m_since >= m_fastPhaseMs; }

private:
    std::int64_t m_fastPhaseMs;
    std::int64_t m_since = 0;
    std::int64_t m_delayMs = kFastIntervalMs;
};
