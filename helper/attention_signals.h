// The attention signals of one client: someone wants the user's attention.
// A whisper lasts from "whisper" to "whisperend"; a poke, a private message
// and a join show for their seconds, each on a clock of its own. Pure: the
// caller tells the time, in ms of a steady clock.
#pragma once

#include "light_profile.h"

#include <array>
#include <cstdint>
#include <limits>

// In falling rank, in the order of their profiles.
enum class Signal { Poked, Message, Whispered, Joined };
constexpr int kSignalCount = 4;

constexpr int signalProfile(Signal signal)
{
    return PokedProfile + int(signal);
}
static_assert(signalProfile(Signal::Joined) == JoinedProfile && kProfileCount == JoinedProfile);
constexpr bool isTimed(Signal signal)
{
    return isTimedSignal(signalProfile(signal));
}
// A timed signal's seconds when the settings do not say; 0 for a whisper.
constexpr int defaultSeconds(Signal signal)
{
    return isTimed(signal) ? defaultSignalSeconds(signalProfile(signal)) : 0;
}

class AttentionSignals
{
public:
    // A timed signal starts, or while it runs is extended, to end at `endMs`.
    void start(Signal signal, std::int64_t endMs) { m_until[int(signal)] = endMs; }
    void setWhispered(bool whispered) { m_until[int(Signal::Whispered)] = whispered ? kForever : kNever; }
    // Ends the timed signals; a whisper lasts as long as it lasts.
    void dismiss();
    bool holds(Signal signal, std::int64_t nowMs) const { return nowMs < m_until[int(signal)]; }
    // When the signal ends by itself; kForever for a whisper.
    std::int64_t until(Signal signal) const { return m_until[int(signal)]; }
    // Each signal holds while it holds in either.
    void merge(const AttentionSignals &other);

    static constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::min();
    static constexpr std::int64_t kForever = std::numeric_limits<std::int64_t>::max();

private:
    std::array<std::int64_t, kSignalCount> m_until{kNever, kNever, kNever, kNever};
};
