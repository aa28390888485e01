#include "vossik_link.h"

#include "background_thread.h"
#include "command_frame.h"
#include "helper_launcher.h"

#include <algorithm>
#include <chrono>

using protocol::CommandWord;

Vossik *g_link = nullptr;

namespace {

// Words come in clusters (a talk status, another's, a mute): for a moment
// after each word the writer stays awake and looks for the next, so a
// word then costs the host's thread no wake-up call.
constexpr std::chrono::microseconds kStayAwake{300};

std::int64_t nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

Vossik::Vossik(Settings settings)
    : m_settings(std::move(settings)),
      m_schedule(m_settings.timing),
      m_queue(m_settings.queueCapacity),
      m_writer([this] { run(); })
{
}

Vossik::~Vossik()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_exit = true;
    }
    m_waker.wake();
    if (m_writer.joinable())
        m_writer.join();
}

void Vossik::talkStatusChange(CommandWord word)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_queue.push(word);
        const int kind = int(wordKind(word));
        if (kind < kStateWordKinds)
            m_newestState[kind] = word;
    }
    // A writer at work takes the word with the others; only an idle one
    // needs waking, which is the one system call the host's thread makes.
    m_queued.store(true, std::memory_order_release);
    if (m_idle.load())
        m_waker.wake();
}

void Vossik::shutdown(int timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_queue.push(CommandWord::Shutdown);
    m_shutdownRequested = true;
    m_waker.wake();
    m_shutdownDone.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_shutdownFinished; });
    m_exit = true;
    lock.unlock();
    m_waker.wake();
    m_writer.join();
}

void Vossik::finishShutdown()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_shutdownFinished = true;
    m_shutdownDone.notify_all();
}

void Vossik::startHelper(std::int64_t now)
{
    if (m_settings.helperProgram.empty())
        return;
    m_log.line("Starting the helper: " + m_settings.helperProgram);
    const bool running = platform::launchHelper(m_settings.helperProgram, m_settings.helperArgument);
    if (!running)
        m_log.line("The helper could not be started: " + m_settings.helperProgram);
    m_schedule.started(now, running);
    if (m_schedule.gaveUp())
        m_log.line("Not starting the helper again: " + std::to_string(m_settings.timing.maxFruitlessStarts)
                   + " starts in a row never answered");
}

void Vossik::attemptConnection(platform::CommandClient &client, bool *inOutage)
{
    const std::int64_t now = nowMs();
    const platform::CommandClient::Connect result = client.connectTo(m_settings.serverName);
    if (result == platform::CommandClient::Connect::Connected) {
        m_schedule.attempted(now, LinkSchedule::Found::Listening);
        *inOutage = false;
        // A helper that is new, or lost words in its socket, shows the
        // state at once: the toggle, the talk, every fact and the whisper,
        // each unless a newer word of its kind is queued anyway. Pokes,
        // messages and joins were moments, and are not told again.
        std::lock_guard<std::mutex> lock(m_mutex);
        for (int kind = kStateWordKinds - 1; kind >= 0; --kind) {
            if (m_newestState[kind] && !m_queue.holds(WordKind(kind)))
                m_queue.pushFront(*m_newestState[kind]);
        }
        return;
    }
    m_schedule.attempted(now, result == platform::CommandClient::Connect::Busy ? LinkSchedule::Found::Busy
                                                                               : LinkSchedule::Found::Nobody);
    if (!*inOutage)
        m_log.line("client connection failed");
    *inOutage = true;
    bool shuttingDown;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        shuttingDown = m_shutdownRequested;
    }
    // The start the client's init asked for happens even if the client
    // shuts down at once; only a helper that died is not started again then.
    if ((!shuttingDown || !m_schedule.startedBefore()) && m_schedule.startDue(now))
        startHelper(now);
}

// What only the writer thread touches, made and ended on it.
struct Vossik::Writer {
    platform::CommandClient client;
    std::vector<CommandWord> inFlight;  // taken from the queue, on their way until sent
    bool inOutage = false;              // the failed connection is logged once
    std::uint64_t droppedSoFar = 0;     // as logged
    std::chrono::steady_clock::time_point lastWordAt;
};

void Vossik::run()
{
    platform::yieldOnWake();
    m_log.line("Vossik::Vossik");
    Writer writer;
    for (;;) {
        if (!writer.client.isOpen() && !m_shutdownFinished && nowMs() >= m_schedule.nextAttemptAt())
            attemptConnection(writer.client, &writer.inOutage);
        const std::optional<Round> round = takeQueuedWords(writer);
        if (!round)
            break;
        if (!writer.inFlight.empty() && !writer.client.sending())
            sendInFlight(writer);
        logDrops(writer, round->dropped);
        // Nobody alive or starting to tell: the shutdown is as done as it gets.
        if (round->shutdownRequested && !round->shutdownFinished && !writer.client.isOpen()
            && !m_schedule.helperStarting(nowMs()))
            finishShutdown();
        const int timeoutMs = waitTimeoutMs(writer, round->shutdownFinished);
        // Idle and connected, a new word is the only news: the host wakes
        // the writer then, and not while it is busy anyway.
        const bool idle = writer.client.isOpen() && !writer.client.sending();
        if (idle && (awakeAfterWord(writer.lastWordAt) || !waitingMayBegin()))
            continue;
        const platform::CommandClient::Event event = writer.client.wait(m_waker, timeoutMs);
        m_idle.store(false);
        handleEvent(writer, event);
    }
    writer.client.close();
    m_log.line("Vossik::~Vossik");
}

std::optional<Vossik::Round> Vossik::takeQueuedWords(Writer &writer)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_exit)
        return std::nullopt;
    const Round round{m_shutdownRequested, m_shutdownFinished, m_queue.dropped()};
    if (writer.client.isOpen() && !writer.client.sending()) {
        while (!m_queue.empty())
            writer.inFlight.push_back(m_queue.pop());
        m_queued.store(false, std::memory_order_relaxed);
    }
    return round;
}

void Vossik::sendInFlight(Writer &writer)
{
    std::string bytes;
    for (const CommandWord word : writer.inFlight)
        protocol::appendFrame(&bytes, word);
    writer.client.send(std::move(bytes));
    writer.lastWordAt = std::chrono::steady_clock::now();
    // Logged once on its way: a log line never delays a word.
    for (const CommandWord word : writer.inFlight)
        m_log.line(std::string("Vossik::talkStatusChange \"") + protocol::commandWordText(word) + '"');
}

void Vossik::logDrops(Writer &writer, std::uint64_t dropped)
{
    if (dropped == writer.droppedSoFar)
        return;
    m_log.line(std::to_string(dropped - writer.droppedSoFar)
               + " words dropped while the helper did not take them; the newest state is kept");
    writer.droppedSoFar = dropped;
}

int Vossik::waitTimeoutMs(const Writer &writer, bool shutdownFinished)
{
    if (writer.client.isOpen() || shutdownFinished)
        return -1;  // until woken
    return static_cast<int>(std::max<std::int64_t>(0, m_schedule.nextAttemptAt() - nowMs()));
}

void Vossik::handleEvent(Writer &writer, platform::CommandClient::Event event)
{
    switch (event) {
    case platform::CommandClient::Event::Sent:
        if (std::find(writer.inFlight.begin(), writer.inFlight.end(), CommandWord::Shutdown) != writer.inFlight.end())
            finishShutdown();
        writer.inFlight.clear();
        break;
    case platform::CommandClient::Event::Lost:
        connectionLost(writer);
        break;
    case platform::CommandClient::Event::Woken:
    case platform::CommandClient::Event::TimedOut:
        break;
    }
}

void Vossik::connectionLost(Writer &writer)
{
    m_log.line("helper connection lost");
    m_schedule.lost(nowMs());
    // The states are sent again on the next connection; what else was on
    // its way goes again too.
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto word = writer.inFlight.rbegin(); word != writer.inFlight.rend(); ++word) {
        if (int(wordKind(*word)) >= kStateWordKinds)
            m_queue.pushFront(*word);
    }
    writer.inFlight.clear();
}

bool Vossik::awakeAfterWord(std::chrono::steady_clock::time_point lastWordAt)
{
    const auto until = lastWordAt + kStayAwake;
    while (std::chrono::steady_clock::now() < until) {
        if (m_queued.load(std::memory_order_acquire))
            return true;
        std::this_thread::yield();  // whoever else needs this processor gets it
    }
    return false;
}

bool Vossik::waitingMayBegin()
{
    // Announced before the last look at the queue: a word queued after the
    // look sees the announcement and wakes the writer.
    m_idle.store(true);
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_queue.empty() && !m_exit && !m_shutdownRequested)
        return true;
    m_idle.store(false);
    return false;
}
