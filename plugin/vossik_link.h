// The plugin's link to the helper. The host's threads only hand words over:
// talkStatusChange() queues the word and returns. One writer thread of the
// link's own starts the helper, connects, writes the words in order,
// reconnects, starts a helper that has died again, and logs.
#pragma once

#include "command_client.h"
#include "command_words.h"
#include "link_schedule.h"
#include "log_output.h"
#include "word_queue.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class Vossik
{
public:
    struct Settings {
        std::string serverName;
        std::string helperProgram;  // empty: start none
        std::string helperArgument;
        LinkSchedule::Timing timing;
        std::size_t queueCapacity = WordQueue::kDefaultCapacity;
    };

    // Starts the writer thread, which connects at once or starts the helper.
    explicit Vossik(Settings settings);
    // Ends the writer thread; words not yet written are dropped.
    ~Vossik();
    Vossik(const Vossik &) = delete;
    Vossik &operator=(const Vossik &) = delete;

    // Hands one word over; never waits on the helper, a socket or a log.
    void talkStatusChange(protocol::CommandWord word);

    // Hands Shutdown over and waits until it has been written to a
    // helper that is alive or starting, but at most `timeoutMs`; then the
    // writer thread ends.
    void shutdown(int timeoutMs);

private:
    struct Writer;
    // What the writer saw of the shared state in one round of its loop.
    struct Round {
        bool shutdownRequested = false;
        bool shutdownFinished = false;
        std::uint64_t dropped = 0;  // by the queue, so far
    };

    void run();
    // Takes every queued word onto `writer`'s way when it may write; none
    // when the link is to end.
    std::optional<Round> takeQueuedWords(Writer &writer);
    void sendInFlight(Writer &writer);
    void logDrops(Writer &writer, std::uint64_t dropped);
    // How long the writer may wait: until woken when connected or done,
    // else until the next connection attempt.
    int waitTimeoutMs(const Writer &writer, bool shutdownFinished);
    void handleEvent(Writer &writer, platform::CommandClient::Event event);
    void connectionLost(Writer &writer);
    void attemptConnection(platform::CommandClient &client, bool *inOutage);
    void startHelper(std::int64_t now);
    void finishShutdown();
    // True when a word came while the writer stayed awake a moment after
    // the last one.
    bool awakeAfterWord(std::chrono::steady_clock::time_point lastWordAt);
    // Whether the writer, idle with nothing queued, may go to sleep.
    bool waitingMayBegin();

    const Settings m_settings;
    platform::LogSink m_log{platform::StandardStream::Error};
    platform::Waker m_waker;
    LinkSchedule m_schedule;  // the writer's own

    std::mutex m_mutex;  // guards what follows
    std::condition_variable m_shutdownDone;
    WordQueue m_queue;
    // The newest word of each state kind handed over, told again to every
    // helper the writer connects to.
    std::optional<protocol::CommandWord> m_newestState[kStateWordKinds];
    bool m_shutdownRequested = false;
    bool m_shutdownFinished = false;
    bool m_exit = false;
    std::atomic<bool> m_idle{false};    // the writer sleeps until a word comes
    std::atomic<bool> m_queued{false};  // a word came since the writer last took them

    std::thread m_writer;  // last: starts once the rest is built
};

// The link, made by the plugin's init and dropped by its shutdown.
extern Vossik *g_link;
