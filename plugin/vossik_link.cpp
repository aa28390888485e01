#include "vossik_link.h"

#include "helper_launcher.h"

#include <algorithm>
#include <chrono>

Vossik *g_link = nullptr;

namespace {

std::int64_t nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

Vossik::Vossik(Settings settings)
    : m_settings(std::move(settings)), m_schedule(m_settings.timing), m_queue(m_settings.queueCapacity),
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
        if (isTalkWord(word))
            m_newestState = word;
    }
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
        // voice state at once.
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_newestState && !m_queue.holdsTalkWord())
            m_queue.pushFront(*m_newestState);
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

void Vossik::run()
{
    m_log.line("Vossik::Vossik");
    platform::CommandClient client;
    std::vector<CommandWord> inFlight;
    bool inOutage = false;
    std::uint64_t droppedSoFar = 0;
    for (;;) {
        bool shutdownRequested, shutdownFinished;
        std::uint64_t dropped;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_exit)
                break;
            shutdownRequested = m_shutdownRequested;
            shutdownFinished = m_shutdownFinished;
            dropped = m_queue.dropped();
        }
        if (dropped != droppedSoFar) {
            m_log.line(std::to_string(dropped - droppedSoFar)
                       + " words dropped while the helper did not take them; the newest state is kept");
            droppedSoFar = dropped;
        }
        if (!client.isOpen() && !shutdownFinished && nowMs() >= m_schedule.nextAttemptAt())
            attemptConnection(client, &inOutage);
        // Nobody alive or starting to tell: the shutdown is as done as it gets.
        if (shutdownRequested && !shutdownFinished && !client.isOpen() && !m_schedule.helperStarting(nowMs()))
            finishShutdown();

        if (client.isOpen() && !client.sending()) {
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                while (!m_queue.empty())
                    inFlight.push_back(m_queue.pop());
            }
            if (!inFlight.empty()) {
                std::string bytes;
                for (const CommandWord word : inFlight) {
                    m_log.line(std::string("Vossik::talkStatusChange \"") + commandWordText(word) + '"');
                    appendWordFrame(&bytes, commandWordText(word));
                }
                client.send(std::move(bytes));
            }
        }

        int timeoutMs = -1;
        if (!client.isOpen() && !shutdownFinished)
            timeoutMs = static_cast<int>(std::max<std::int64_t>(0, m_schedule.nextAttemptAt() - nowMs()));
        switch (client.wait(m_waker, timeoutMs)) {
        case platform::CommandClient::Event::Sent:
            if (std::find(inFlight.begin(), inFlight.end(), CommandWord::Shutdown) != inFlight.end())
                finishShutdown();
            inFlight.clear();
            break;
        case platform::CommandClient::Event::Lost: {
            m_log.line("helper connection lost");
            m_schedule.lost(nowMs());
            // The voice state is sent again on the next connection; what
            // else was on its way goes again too.
            std::lock_guard<std::mutex> lock(m_mutex);
            for (auto word = inFlight.rbegin(); word != inFlight.rend(); ++word) {
                if (!isTalkWord(*word))
                    m_queue.pushFront(*word);
            }
            inFlight.clear();
            break;
        }
        case platform::CommandClient::Event::Woken:
        case platform::CommandClient::Event::TimedOut:
            break;
        }
    }
    client.close();
    m_log.line("Vossik::~Vossik");
}
