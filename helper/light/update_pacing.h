// How often a lighting server's controllers are updated. Many devices
// write what they are sent into memory that wears out, so every
// controller gets at most 30 updates in any second, while the newest
// command still shows within 34 ms. Pure: the caller tells the time, on
// a steady clock in nanoseconds.
#pragma once

#include <array>
#include <cstdint>

namespace light {

// Now on the steady clock (the one arrival stamps are taken on).
std::int64_t steadyNowNs();

// The last updates of one controller: a new one is allowed only while
// fewer than 30 fall in the second before it. Holds whatever the
// scheduling's lateness did.
class UpdateWindow
{
public:
    static constexpr int kUpdatesPerSecond = 30;
    static constexpr std::int64_t kSecondNs = 1000 * 1000 * 1000;

    bool allows(std::int64_t nowNs) const { return m_count < kUpdatesPerSecond || nowNs - oldest() > kSecondNs; }
    void record(std::int64_t nowNs);
    void clear() { m_count = 0; }

private:
    std::int64_t oldest() const { return m_times[std::size_t(m_next)]; }

    std::array<std::int64_t, kUpdatesPerSecond> m_times{};
    int m_count = 0;
    int m_next = 0;  // the oldest once full, and where the next goes
};

// The moments updates go out on: each slot at least 33.5 ms after the
// last, never earlier, so 31 slots span at least 1005 ms; and a command
// that arrives just after a slot goes out 33.5 ms later, at the event
// loop's next turn. A timer only aims at whole milliseconds and
// fires up to a millisecond after its time, so for a waiting command it
// is aimed up to 2 ms early and the loop turns until the slot's time;
// animation frames only, which no one waits for, take the first turn
// after it.
class SlotGrid
{
public:
    static constexpr std::int64_t kSlotNs = 33500 * 1000;

    // Whether a slot may run now.
    bool due(std::int64_t nowNs) const { return !m_started || nowNs >= m_nextNs; }
    // A slot ran now.
    void ran(std::int64_t nowNs)
    {
        m_nextNs = nowNs + kSlotNs;
        m_started = true;
    }
    std::int64_t nextNs() const { return m_nextNs; }
    // The whole milliseconds a timer started now waits: before the next
    // slot when `waiting` (a command waits), else not before it.
    int timerMs(std::int64_t nowNs, bool waiting) const;
    void reset() { m_started = false; }

private:
    bool m_started = false;
    std::int64_t m_nextNs = 0;
};

}  // namespace light
