// When the link tries to reach the helper, and when it starts the helper:
// the policy alone, on a millisecond clock the caller passes in.
//
// Right after a start the helper needs some 200 ms before it listens, so
// the link looks often then; otherwise once a second. A helper that is gone
// is started again, at most once every ten seconds, and after five starts
// in a row that never led to a connection, not at all.
#pragma once

#include <cstdint>

class LinkSchedule
{
public:
    struct Timing {
        int fastRetryMs = 20;
        int slowRetryMs = 1000;
        int startingPeriodMs = 5000;
        int restartIntervalMs = 10000;
        int maxFruitlessStarts = 5;
    };

    enum class Found {
        Listening,  // connected
        Busy,       // the server is there but takes no connection now
        Nobody,     // nothing listens
    };

    LinkSchedule() : LinkSchedule(Timing{}) {}
    explicit LinkSchedule(const Timing &timing) : m_timing(timing) {}

    // What a connection attempt found.
    void attempted(std::int64_t now, Found found);
    // The connection was lost: look again at once.
    void lost(std::int64_t now);
    // The helper was started, or starting it failed at once (`running`
    // false); either way the start counts.
    void started(std::int64_t now, bool running);

    std::int64_t nextAttemptAt() const { return m_nextAttempt; }
    // Nobody listened at the last attempt, and a start is allowed now.
    bool startDue(std::int64_t now) const;
    // Starts in a row that never led to a connection reached the limit.
    bool gaveUp() const { return m_fruitlessStarts >= m_timing.maxFruitlessStarts; }
    bool startedBefore() const { return m_everStarted; }
    // A helper started a moment ago has not answered yet.
    bool helperStarting(std::int64_t now) const;

private:
    bool mayStart(std::int64_t now) const;

    Timing m_timing;
    bool m_everStarted = false;
    bool m_lastStartRan = false;
    std::int64_t m_lastStart = 0;
    int m_fruitlessStarts = 0;
    bool m_nobodyListened = false;
    std::int64_t m_nextAttempt = 0;
};
