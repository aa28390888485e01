#include "bench_run.h"

#include "bench_report.h"
#include "child_process.h"
#include "command_frame.h"
#include "command_server_name.h"
#include "light_command.h"
#include "local_socket.h"
#include "names.h"
#include "plugin_host.h"
#include "process_probe.h"
#include "relay_frames.h"
#include "sample_lights.h"
#include "search_schedule.h"
#include "stamp_reader.h"
#include "start_hidden.h"
#include "update_pacing.h"
#include "window_messages_posix.h"

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <netinet/in.h>
#include <random>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace bench {

namespace {

using Clock = std::chrono::steady_clock;

struct Word {
    protocol::CommandWord word;
    std::uint64_t wParam;  // the light command it gives with the sample settings
    std::int64_t lParam;
};

// The sample settings give every word a light of its own, with others'
// speech on, so every command tells which word caused it.
Word sampleWord(protocol::CommandWord word)
{
    const sample::Light light = sample::light(protocol::commandWordText(word));
    return {word, light.wParam, light.lParam};
}

const Word kStart = sampleWord(protocol::CommandWord::Start);
const Word kStop = sampleWord(protocol::CommandWord::Stop);
const Word kMute = sampleWord(protocol::CommandWord::Mute);
const Word kStartOther = sampleWord(protocol::CommandWord::StartOther);
const Word kShutdownLight = sampleWord(protocol::CommandWord::Shutdown);

constexpr int kReplyTimeoutMs = 2000;

// What the plugin writes for a word.
std::vector<unsigned char> frameOf(const Word &word)
{
    std::string frame;
    protocol::appendFrame(&frame, word.word);
    return std::vector<unsigned char>(frame.begin(), frame.end());
}

RelayRecord relayRecordOf(const Word &word)
{
    const std::vector<unsigned char> frame = frameOf(word);
    return relayRecordFor(frame.data() + protocol::kFrameHeaderBytes, frame.size() - protocol::kFrameHeaderBytes);
}

bool waitUntil(const std::function<bool()> &condition, int timeoutMs, int stepUs = 500)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::microseconds(stepUs));
    }
    return true;
}

bool exists(const std::string &path)
{
    struct stat info;
    return ::stat(path.c_str(), &info) == 0;
}

std::int64_t nsSince(std::uint64_t startNs)
{
    return static_cast<std::int64_t>(stamps::steadyNowNs() - startNs);
}

Summary single(std::int64_t value)
{
    Summary summary;
    summary.count = 1;
    summary.p50 = summary.p99 = summary.max = value;
    return summary;
}

// Where everything of one run lives: a private runtime folder (the helper's
// socket, the message endpoints, the stamps FIFOs) and the configuration.
struct Rig {
    std::string runtime;
    std::string config;
    // Both read the runtime folder that makeRig sets.
    std::string serverPath() const { return platform::commandServerName(); }
    std::string endpoints() const { return platform::endpointDir(); }
};

bool makeRig(Rig *rig, std::string *error)
{
    char pattern[] = "/tmp/vossik-bench-XXXXXX";
    if (!::mkdtemp(pattern)) {
        *error = "cannot create a runtime folder";
        return false;
    }
    rig->runtime = pattern;
    rig->config = rig->runtime + "/config";
    ::mkdir(rig->config.c_str(), 0700);
    std::error_code ec;
    if (!std::filesystem::copy_file(sample::settingsFile(), rig->config + "/" + protocol::kSettingsFileName, ec)) {
        *error = "cannot copy the sample settings: " + ec.message();
        return false;
    }
    // Its own timers alone: the look for TeamSpeak 5/6 wakes the helper on
    // the lighting server, where it is counted.
    std::ofstream(rig->config + "/" + protocol::kSettingsFileName, std::ios::app) << "\n[teamspeak]\nremoteApps=off\n";
    ::setenv("XDG_RUNTIME_DIR", rig->runtime.c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::setenv(platform::kStartHiddenVariable, "1", 1);  // as the plugin starts it
    return true;
}

int endpointCount(const Rig &rig)
{
    int count = 0;
    if (DIR *listing = ::opendir(rig.endpoints().c_str())) {
        while (const dirent *entry = ::readdir(listing))
            count += entry->d_name[0] != '.';
        ::closedir(listing);
    }
    return count;
}

// Checks stamps against the words that caused them, in order.
struct Delivery {
    std::vector<stamps::StampRecord> records;
    std::size_t wrong = 0;  // arrived but not the expected command at that place
    std::size_t missing = 0;

    std::string note(std::size_t expected) const
    {
        return std::to_string(records.size()) + " of " + std::to_string(expected) + " commands arrived, "
               + std::to_string(wrong) + " out of order or wrong, " + std::to_string(missing) + " lost";
    }
    bool whole() const { return wrong == 0 && missing == 0; }
};

template <typename Expected>
Delivery collect(StampReader &reader, const std::vector<Expected> &expected,
                 const std::function<bool(const stamps::StampRecord &, const Expected &)> &matches)
{
    Delivery delivery;
    for (const Expected &want : expected) {
        stamps::StampRecord record;
        if (!reader.next(&record, kReplyTimeoutMs)) {
            delivery.missing = expected.size() - delivery.records.size();
            break;
        }
        delivery.wrong += !matches(record, want);
        delivery.records.push_back(record);
    }
    return delivery;
}

bool lightMatches(const stamps::StampRecord &record, const Word &word)
{
    return record.wParam == word.wParam && record.lParam == word.lParam;
}

bool relayMatches(const stamps::StampRecord &record, const RelayRecord &want)
{
    return record.wParam == want.wParam && record.lParam == want.lParam;
}

std::vector<Word> burstWords(int count)
{
    const Word choices[] = {kStart, kStop, kMute, kStartOther};
    std::mt19937 random(20261206);
    std::vector<Word> words;
    for (int i = 0; i < count; ++i)
        words.push_back(choices[random() % 4]);
    return words;
}

std::vector<unsigned char> framesOf(const std::vector<Word> &words)
{
    std::vector<unsigned char> bytes;
    for (const Word &word : words) {
        const std::vector<unsigned char> frame = frameOf(word);
        bytes.insert(bytes.end(), frame.begin(), frame.end());
    }
    return bytes;
}

// Events one after the other: what each cost the sending thread, how long
// until its light command, and whether all arrived.
struct Pass {
    std::vector<std::int64_t> latency, cost;
    Delivery delivery;
};

// Events back to back (each after the last one's light command), and far
// enough apart that the plugin's writer has gone to sleep in between.
constexpr std::chrono::milliseconds kSpacedPause{2};
int spacedEvents(const BenchOptions &options)
{
    return std::max(1, options.events / 20);
}
// Rounds of a talk event, a poke and a private message, each event a pause
// after the last.
constexpr std::chrono::microseconds kSignalPause{200};
int signalRounds(const BenchOptions &options)
{
    return std::max(1, options.events / 10);
}
// Words to the device service and to the lighting server, side by side.
int serverEvents(const BenchOptions &options)
{
    return std::max(2, options.events / 10);
}

// Everything measured; filled scenario by scenario.
struct Results {
    Pass chain, relay, chainSpaced, relaySpaced;
    // What each event of the signal rounds cost the host's thread.
    std::vector<std::int64_t> roundTalkCost, pokeCost, messageCost;
    std::int64_t firstListening = -1, firstListeningBase = -1;
    std::int64_t firstAbsent = -1, retryAbsent = -1, absentBase = -1;
    std::int64_t burstChain = -1, burstRelay = -1;
    Delivery burstChainDelivery, burstRelayDelivery;
    std::int64_t helperKiB = -1, minimalKiB = -1;
    probe::Activity helperIdle, minimalIdle;
    std::int64_t startToListening = -1, startToLight = -1, minimalStart = -1;
    // The same words written on the helper's socket, to their light: at the
    // device service, and at a lighting server's first LED update.
    Pass wordToService, wordToServer;
    // The helper on a lighting server: while it animates, and while it
    // holds a still colour (with the LED updates the server got meanwhile),
    // beside the minimal Qt program in the same seconds.
    probe::Activity animating, still, minimalStill;
    std::int64_t stillUpdates = -1;
    // Its search for a device service then: whether it had slowed to its
    // longest interval, the DISCOVERs before and during the still colour,
    // and when the still colour began, after the helper's start.
    bool searchSlowed = false;
    int discoversBefore = 0, discoversDuring = 0;
    std::int64_t stillBeganMs = 0;
    // A standalone helper following the stand-in Remote Apps server: its
    // talk event to the light; why not, when it could not be measured.
    Pass remoteApps;
    std::string remoteAppsUnmeasured;
};

// Words one after the other on an open connection to the helper, each after
// the last one's light and at least `gapNs` after it: alternately "stop" and
// "start".
void wordsToLight(int fd, StampReader &in, int events, Pass *pass,
                  const std::function<bool(const stamps::StampRecord &, const Word &, std::uint64_t)> &isLightOf,
                  std::int64_t gapNs = 0)
{
    const std::vector<unsigned char> frames[] = {frameOf(kStop), frameOf(kStart)};
    const Word words[] = {kStop, kStart};
    std::uint64_t lastLight = 0;
    for (int i = 0; i < events; ++i) {
        const int which = i % 2 == 0 ? 0 : 1;
        const std::uint64_t free = lastLight + static_cast<std::uint64_t>(gapNs);
        if (gapNs > 0 && stamps::steadyNowNs() < free)
            std::this_thread::sleep_for(std::chrono::nanoseconds(free - stamps::steadyNowNs()));
        const std::uint64_t started = stamps::steadyNowNs();
        writeAll(fd, frames[which].data(), frames[which].size());
        stamps::StampRecord record;
        bool found = false;
        // A lighting server may still get a frame of the last effect first.
        while (!found && in.next(&record, kReplyTimeoutMs))
            found = isLightOf(record, words[which], started);
        if (!found) {
            ++pass->delivery.missing;
            continue;
        }
        lastLight = record.ns;
        pass->delivery.records.push_back(record);
        pass->latency.push_back(static_cast<std::int64_t>(record.ns - started));
    }
}

// The first LED's colour as the lighting server stamps it: every effect
// starts at full brightness, Off is black.
bool serverShows(const stamps::StampRecord &record, const Word &word, std::uint64_t after)
{
    const protocol::LightFields fields = protocol::LightCommand{word.wParam, word.lParam}.unpack();
    const std::int64_t rgb = fields.effect == protocol::LightEffectOff ? 0 : static_cast<std::int64_t>(fields.rgb);
    return record.ns >= after && record.lParam == rgb;
}

// When the helper's search for a device service, started with no fast phase
// (VOSSIK_SEARCH_FAST_MS=0), first waits its longest: after which DISCOVER,
// and how long after the first.
struct SlowSearch {
    int attempts = 1;
    std::int64_t afterMs = 0;
};
SlowSearch slowestSearch()
{
    SearchSchedule schedule(0);
    schedule.restart(0);
    SlowSearch slow;
    for (std::int64_t delay; (delay = schedule.nextDelayMs(slow.afterMs)) < SearchSchedule::kSlowestIntervalMs;
         ++slow.attempts)
        slow.afterMs += delay;
    return slow;
}

// An endpoint of this process in another runtime folder, to see the
// DISCOVERs of the helper there. The stand-in finds its folder through
// XDG_RUNTIME_DIR, so that points there for the call; no other thread of
// ours runs yet.
bool openEndpointIn(const std::string &runtime, platform::Endpoint *endpoint)
{
    const char *own = std::getenv("XDG_RUNTIME_DIR");
    const std::string saved = own ? own : "";
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    const bool opened = platform::openEndpoint(endpoint);
    ::setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
    return opened;
}

// Any free TCP port on the loopback address, for the lighting server.
int freeLoopbackPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    int port = -1;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0
        && ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    if (fd >= 0)
        ::close(fd);
    return port;
}

// Whether something accepts connections on that loopback port.
bool loopbackListens(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    const bool listens = fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    if (fd >= 0)
        ::close(fd);
    return listens;
}

class Bench
{
public:
    Bench(const BenchOptions &options, const Rig &rig) : m_options(options), m_rig(rig) {}
    ~Bench()
    {
        closeFd(m_autoFd);
        platform::closeEndpoint(&m_watch);
    }

    bool run(Results *results, std::string *error)
    {
        m_results = results;
        return startAutoHelper(error) && startService(error) && startHelper(error) && measureIdle(error)
               && burstThroughHelper(error) && wordsThroughHelper(error) && talkThroughPlugin(error)
               && helperAbsent(error) && relayBaseline(error) && lightingServer(error)
               && remoteAppsThroughHelper(error);
    }

private:
    bool startService(std::string *error)
    {
        if (!m_serviceStamps.create(m_rig.runtime + "/service-stamps")
            || !m_service.start({m_options.lightservice, "--no-window", "--stamps", m_rig.runtime + "/service-stamps"})
            || !waitUntil([this] { return endpointCount(m_rig) > 0; }, 10000)) {
            *error = "the device service did not start";
            return false;
        }
        return true;
    }

    // Start-up: from starting the program to its command server answering,
    // and to the silent profile on the device.
    bool startHelper(std::string *error)
    {
        const std::uint64_t started = stamps::steadyNowNs();
        // As the plugin passes it: the client's answer, ending in a separator.
        if (!m_helper.start({m_options.helper, m_rig.config + "/"})) {
            *error = "cannot start the helper";
            return false;
        }
        const bool listening = waitUntil(
            [this] {
                const int fd = connectTo(m_rig.serverPath());
                closeFd(fd);
                return fd >= 0;
            },
            10000, 200);
        if (!listening) {
            *error = "the helper never listened";
            return false;
        }
        m_results->startToListening = nsSince(started);
        // The first client's first word, as the plugin sends it at once,
        // is what first lights the device.
        const std::vector<unsigned char> stop = frameOf(kStop);
        const int client = connectTo(m_rig.serverPath());
        const bool told = client >= 0 && writeAll(client, stop.data(), stop.size());
        closeFd(client);
        stamps::StampRecord first;
        if (!told || !m_serviceStamps.next(&first, 10000) || !lightMatches(first, kStop)) {
            *error = "the helper never showed the silent profile";
            return false;
        }
        m_results->startToLight = static_cast<std::int64_t>(first.ns - started);

        const std::string ready = m_rig.runtime + "/minimal-ready";
        const std::uint64_t minimalStarted = stamps::steadyNowNs();
        if (!m_minimal.start({m_options.minimalWidgets, ready})
            || !waitUntil([&] { return exists(ready); }, 10000, 200)) {
            *error = "the minimal Qt program did not start";
            return false;
        }
        m_results->minimalStart = nsSince(minimalStarted);
        return true;
    }

    // Both programs settled, then left alone side by side.
    bool measureIdle(std::string *)
    {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        m_results->helperKiB = probe::residentKiB(m_helper.pid());
        m_results->minimalKiB = probe::residentKiB(m_minimal.pid());
        const probe::Activity helperBefore = probe::activityOf(m_helper.pid());
        const probe::Activity minimalBefore = probe::activityOf(m_minimal.pid());
        std::this_thread::sleep_for(std::chrono::seconds(m_options.idleSeconds));
        const probe::Activity helperAfter = probe::activityOf(m_helper.pid());
        const probe::Activity minimalAfter = probe::activityOf(m_minimal.pid());
        m_results->helperIdle = {helperAfter.cpuNs - helperBefore.cpuNs, helperAfter.switches - helperBefore.switches};
        m_results->minimalIdle = {minimalAfter.cpuNs - minimalBefore.cpuNs,
                                  minimalAfter.switches - minimalBefore.switches};
        return true;
    }

    bool burstThroughHelper(std::string *error)
    {
        const std::vector<Word> words = burstWords(m_options.burst);
        const std::vector<unsigned char> bytes = framesOf(words);
        const int fd = connectTo(m_rig.serverPath());
        if (fd < 0) {
            *error = "cannot reach the helper for the burst";
            return false;
        }
        const std::uint64_t started = stamps::steadyNowNs();
        const bool written = writeAll(fd, bytes.data(), bytes.size());
        m_results->burstChainDelivery = collect<Word>(m_serviceStamps, words, lightMatches);
        closeFd(fd);
        if (!written) {
            *error = "the helper did not take the burst";
            return false;
        }
        if (!m_results->burstChainDelivery.records.empty())
            m_results->burstChain =
                static_cast<std::int64_t>(m_results->burstChainDelivery.records.back().ns - started);
        return true;
    }

    // The words at the helper, to the device service: the figure beside
    // the lighting server's.
    bool wordsThroughHelper(std::string *error)
    {
        const int fd = connectTo(m_rig.serverPath());
        if (fd < 0) {
            *error = "cannot reach the helper for the words";
            return false;
        }
        wordsToLight(fd, m_serviceStamps, serverEvents(m_options), &m_results->wordToService,
                     [](const stamps::StampRecord &record, const Word &word, std::uint64_t) {
                         return lightMatches(record, word);
                     });
        closeFd(fd);
        return true;
    }

    // A second helper, on the stand-in lighting server in auto mode (the
    // default): the device service while one is attached, else the server.
    // It runs in a runtime folder of its own, where no device service
    // answers, and searches for one with no fast phase, so its DISCOVERs go
    // out after 4, 8 and 16 s, then every 30 s. Started first, so that most
    // of that wait passes while the rest is measured; this process is its
    // client from the start (a helper without one ends after a minute) and
    // counts its DISCOVERs at an endpoint of its own there.
    bool startAutoHelper(std::string *error)
    {
        const std::string runtime = m_rig.runtime + "/auto";
        const std::string config = m_rig.runtime + "/config-server";
        const int port = freeLoopbackPort();
        ::mkdir(runtime.c_str(), 0700);
        ::mkdir(config.c_str(), 0700);
        {
            std::ifstream sample(sample::settingsFile(), std::ios::binary);
            std::ofstream(config + "/" + protocol::kSettingsFileName)
                << sample.rdbuf() << "\n[device]\nlightService=auto\nopenrgbPort=" << port << "\n";
        }
        if (port < 0 || !m_serverStamps.create(m_rig.runtime + "/server-stamps")
            || !m_server.start({m_options.openrgbServer, "--port", std::to_string(port), "--controllers",
                                "Bench strip:12:Direct", "--log", "/dev/null", "--stamps",
                                m_rig.runtime + "/server-stamps"})
            || !openEndpointIn(runtime, &m_watch)
            || !m_autoHelper.start({m_options.helper, config + "/"},
                                   {"XDG_RUNTIME_DIR=" + runtime, "VOSSIK_SEARCH_FAST_MS=0"})) {
            *error = "cannot start the lighting server or its helper";
            return false;
        }
        m_autoStarted = Clock::now();
        m_autoFd = connectWithin(runtime + "/" + protocol::kCommandServerBaseName, 10000);
        // Connected, enumerated and showing the first word's light.
        const std::vector<unsigned char> stop = frameOf(kStop);
        stamps::StampRecord record;
        const std::uint64_t asked = stamps::steadyNowNs();
        if (m_autoFd < 0 || !writeAll(m_autoFd, stop.data(), stop.size()) || !m_serverStamps.next(&record, 10000)
            || !serverShows(record, kStop, asked)) {
            *error = "the helper never lit the lighting server";
            return false;
        }
        return true;
    }

    int discoversSeen()
    {
        platform::drainEndpoint(
            &m_watch, [this](const platform::Message &message) { m_discovers += message.id == m_discoverMsg; });
        return m_discovers;
    }

    // The helper on the lighting server: word to LED update, and what it
    // costs while it animates and while it holds a still colour, the latter
    // once its search for a device service has slowed down.
    bool lightingServer(std::string *)
    {
        // A controller takes an update a slot after the last: a word that
        // comes sooner waits for it by design, so each word comes a slot after.
        wordsToLight(m_autoFd, m_serverStamps, serverEvents(m_options), &m_results->wordToServer, serverShows,
                     light::SlotGrid::kSlotNs);
        const auto measure = [&](const Word &word, probe::Activity *activity, probe::Activity *minimal) {
            const std::vector<unsigned char> frame = frameOf(word);
            writeAll(m_autoFd, frame.data(), frame.size());
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            m_serverStamps.discardPending();
            const probe::Activity before = probe::activityOf(m_autoHelper.pid());
            const probe::Activity minimalBefore = probe::activityOf(m_minimal.pid());
            std::this_thread::sleep_for(std::chrono::seconds(m_options.idleSeconds));
            const probe::Activity after = probe::activityOf(m_autoHelper.pid());
            const probe::Activity minimalAfter = probe::activityOf(m_minimal.pid());
            *activity = {after.cpuNs - before.cpuNs, after.switches - before.switches};
            if (minimal)
                *minimal = {minimalAfter.cpuNs - minimalBefore.cpuNs, minimalAfter.switches - minimalBefore.switches};
        };
        measure(kStart, &m_results->animating, nullptr);  // breathing

        // Once the search waits its longest, the seconds measured are the
        // ones around its next DISCOVER: the most a still colour costs.
        const SlowSearch slow = slowestSearch();
        m_results->searchSlowed =
            waitUntil([&] { return discoversSeen() >= slow.attempts; }, m_options.searchWaitSeconds * 1000, 100000);
        if (m_results->searchSlowed) {
            const auto next = Clock::now() + std::chrono::milliseconds(SearchSchedule::kSlowestIntervalMs);
            const auto settle = std::chrono::milliseconds(500 + m_options.idleSeconds * 1000 / 2);
            std::this_thread::sleep_until(next - settle);
        }
        m_results->discoversBefore = discoversSeen();
        // From the word on, as the seconds measured begin half a second later.
        m_results->stillBeganMs =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - m_autoStarted).count() + 500;
        measure(kStop, &m_results->still, &m_results->minimalStill);  // on
        m_results->discoversDuring = discoversSeen() - m_results->discoversBefore;
        std::int64_t updates = 0;
        stamps::StampRecord record;
        while (m_serverStamps.next(&record, 0))
            ++updates;
        m_results->stillUpdates = updates;
        return true;
    }

    // The voice client's view: the plugin loaded here, the helper already
    // listening, which the plugin's writer reaches at init. Every event
    // waits for its light command before the next, so each latency stands
    // alone.
    // A standalone helper following the stand-in Remote Apps server, in a
    // runtime folder of its own (one helper serves a folder) with a device
    // service of its own: from the server's send stamp of your talk event,
    // sent on SIGUSR1, to the light, each event after the last one's light.
    bool remoteAppsThroughHelper(std::string *error)
    {
        const std::string runtime = m_rig.runtime + "/remote";
        const std::string config = m_rig.runtime + "/config-remote";
        const int port = freeLoopbackPort();
        ::mkdir(runtime.c_str(), 0700);
        ::mkdir(config.c_str(), 0700);
        {
            std::ifstream sample(sample::settingsFile(), std::ios::binary);
            std::ofstream(config + "/" + protocol::kSettingsFileName)
                << sample.rdbuf() << "\n[teamspeak]\nremoteApps=auto\nremoteAppsPort=" << port << "\n";
        }
        const std::vector<std::string> environment{"XDG_RUNTIME_DIR=" + runtime};
        StampReader lights, sends;
        ChildProcess service, server, helper;
        if (port < 0 || !lights.create(runtime + "/service-stamps") || !sends.create(runtime + "/sends")
            || !service.start({m_options.lightservice, "--no-window", "--stamps", runtime + "/service-stamps"},
                              environment)
            || !server.start({m_options.remoteApps, "--port", std::to_string(port), "--stamps", runtime + "/sends"})
            || !waitUntil([port] { return loopbackListens(port); }, 10000, 1000)
            || !helper.start({m_options.helper, "--standalone", config + "/"}, environment)) {
            *error = "cannot start the stand-in Remote Apps server, its helper or its device service";
            return false;
        }
        // The server allows at once; until the helper is connected a talk
        // event goes to nobody, and one that repeats the helper's state
        // gives no light: try until one does.
        stamps::StampRecord sent, light;
        const auto talk = [&] {
            ::kill(server.pid(), SIGUSR1);
            return sends.next(&sent, kReplyTimeoutMs);
        };
        bool answered = false;
        for (const auto deadline = Clock::now() + std::chrono::seconds(10); !answered && Clock::now() < deadline;) {
            if (!talk()) {
                *error = "the stand-in Remote Apps server sent no talk event";
                return false;
            }
            while (!answered && lights.next(&light, 500))
                answered = light.ns >= sent.ns && lightMatches(light, sent.wParam ? kStart : kStop);
        }
        if (!answered) {
            m_results->remoteAppsUnmeasured =
                "not measured: in 10 s the standalone helper never lit its device service "
                "for the server's talk events (a helper without the Remote Apps client?)";
            return true;
        }
        Pass *pass = &m_results->remoteApps;
        for (int i = 0; i < serverEvents(m_options); ++i) {
            if (!talk() || !lights.next(&light, kReplyTimeoutMs)) {
                ++pass->delivery.missing;
                continue;
            }
            pass->delivery.wrong += !lightMatches(light, sent.wParam ? kStart : kStop);
            pass->delivery.records.push_back(light);
            pass->latency.push_back(static_cast<std::int64_t>(light.ns - sent.ns));
        }
        return true;
    }

    bool talkThroughPlugin(std::string *error)
    {
        PluginHost host;
        if (!host.start(m_options.plugin, std::string(), m_rig.config, error))
            return false;
        // The silence the plugin reports at init comes first.
        stamps::StampRecord record;
        if (!m_serviceStamps.next(&record, kReplyTimeoutMs) || !lightMatches(record, kStop)) {
            *error = "the plugin's init gave no light";
            return false;
        }
        const PluginHost::Call first = host.talk(1);
        m_results->firstListening = first.tookNs;
        if (!m_serviceStamps.next(&record, kReplyTimeoutMs) || !lightMatches(record, kStart)) {
            *error = "the first event gave no light";
            return false;
        }
        const auto play = [&](Pass *pass, int events, std::chrono::milliseconds pause) {
            for (int i = 0; i < events; ++i) {
                std::this_thread::sleep_for(pause);
                const int status = i % 2 == 0 ? 0 : 1;
                const PluginHost::Call call = host.talk(status);
                pass->cost.push_back(call.tookNs);
                if (!m_serviceStamps.next(&record, kReplyTimeoutMs)) {
                    ++pass->delivery.missing;
                    continue;
                }
                pass->delivery.wrong += !lightMatches(record, status ? kStart : kStop);
                pass->delivery.records.push_back(record);
                pass->latency.push_back(static_cast<std::int64_t>(record.ns - call.startedNs));
            }
        };
        play(&m_results->chain, m_options.events, std::chrono::milliseconds(0));
        play(&m_results->chainSpaced, spacedEvents(m_options), kSpacedPause);
        // No light is waited for here: a signal the settings enable holds
        // the light, and talk then posts none.
        for (int i = 0; i < signalRounds(m_options); ++i) {
            std::this_thread::sleep_for(kSignalPause);
            m_results->roundTalkCost.push_back(host.talk(i % 2).tookNs);
            std::this_thread::sleep_for(kSignalPause);
            m_results->pokeCost.push_back(host.poke().tookNs);
            std::this_thread::sleep_for(kSignalPause);
            m_results->messageCost.push_back(host.message().tookNs);
        }
        host.shutdown();
        // After the rounds' own light commands, and a signal's end, if any.
        bool ended = false;
        while (!ended && m_serviceStamps.next(&record, kReplyTimeoutMs))
            ended = lightMatches(record, kShutdownLight);
        if (!ended || !m_helper.waitForExit(5000)) {
            *error = "the helper did not end with the client";
            return false;
        }
        return true;
    }

    // No helper at all, and none to start: the events only queue their
    // words, whatever the writer thread is trying meanwhile.
    bool helperAbsent(std::string *error)
    {
        PluginHost host;
        if (!host.start(m_options.plugin, std::string(), m_rig.config, error))
            return false;
        const auto pause = [] { std::this_thread::sleep_for(std::chrono::milliseconds(1100)); };
        m_results->firstAbsent = host.talk(1).tookNs;
        pause();
        m_results->retryAbsent = host.talk(0).tookNs;
        pause();  // the baseline after the same pause: an idle CPU wakes slowly
        const std::uint64_t started = stamps::steadyNowNs();
        const int fd = connectTo(m_rig.serverPath());
        m_results->absentBase = nsSince(started);
        closeFd(fd);
        return true;
    }

    // The floor: the same two hops with plain sockets and no Qt.
    bool relayBaseline(std::string *error)
    {
        StampReader stampsIn;
        ChildProcess sink;
        ChildProcess relay;
        const std::string sinkPath = m_rig.runtime + "/bench-sink";
        const std::string relayPath = m_rig.runtime + "/bench-relay";
        if (!stampsIn.create(m_rig.runtime + "/relay-stamps")
            || !sink.start({m_options.relay, "sink", sinkPath, m_rig.runtime + "/relay-stamps"})
            || !relay.start({m_options.relay, "relay", relayPath, sinkPath})
            || !waitUntil([&] { return exists(relayPath); }, 5000)) {
            *error = "the baseline relay did not start";
            return false;
        }
        const std::vector<unsigned char> startFrame = frameOf(kStart);
        const std::vector<unsigned char> stopFrame = frameOf(kStop);
        const std::uint64_t connectStarted = stamps::steadyNowNs();
        const int fd = connectTo(relayPath);
        const bool firstWritten = fd >= 0 && writeAll(fd, startFrame.data(), startFrame.size());
        m_results->firstListeningBase = nsSince(connectStarted);
        stamps::StampRecord record;
        if (!firstWritten || !stampsIn.next(&record, kReplyTimeoutMs)) {
            closeFd(fd);
            *error = "the baseline relay did not pass the first word";
            return false;
        }
        const RelayRecord startRecord = relayRecordOf(kStart);
        const RelayRecord stopRecord = relayRecordOf(kStop);
        const auto play = [&](Pass *pass, int events, std::chrono::milliseconds pause) {
            for (int i = 0; i < events; ++i) {
                std::this_thread::sleep_for(pause);
                const bool start = i % 2 != 0;
                const std::vector<unsigned char> &frame = start ? startFrame : stopFrame;
                const std::uint64_t started = stamps::steadyNowNs();
                writeAll(fd, frame.data(), frame.size());
                pass->cost.push_back(nsSince(started));
                if (!stampsIn.next(&record, kReplyTimeoutMs)) {
                    ++pass->delivery.missing;
                    continue;
                }
                pass->delivery.wrong += !relayMatches(record, start ? startRecord : stopRecord);
                pass->delivery.records.push_back(record);
                pass->latency.push_back(static_cast<std::int64_t>(record.ns - started));
            }
        };
        play(&m_results->relay, m_options.events, std::chrono::milliseconds(0));
        play(&m_results->relaySpaced, spacedEvents(m_options), kSpacedPause);

        const std::vector<Word> words = burstWords(m_options.burst);
        std::vector<RelayRecord> expected;
        for (const Word &word : words)
            expected.push_back(relayRecordOf(word));
        const std::vector<unsigned char> bytes = framesOf(words);
        const std::uint64_t burstStarted = stamps::steadyNowNs();
        writeAll(fd, bytes.data(), bytes.size());
        m_results->burstRelayDelivery = collect<RelayRecord>(stampsIn, expected, relayMatches);
        if (!m_results->burstRelayDelivery.records.empty())
            m_results->burstRelay =
                static_cast<std::int64_t>(m_results->burstRelayDelivery.records.back().ns - burstStarted);
        closeFd(fd);
        relay.waitForExit(2000);
        sink.waitForExit(2000);
        return true;
    }

    const BenchOptions &m_options;
    const Rig &m_rig;
    Results *m_results = nullptr;
    StampReader m_serviceStamps;
    ChildProcess m_service;
    ChildProcess m_helper;
    ChildProcess m_minimal;
    // The helper in auto mode on the lighting server, and its DISCOVERs.
    StampReader m_serverStamps;
    ChildProcess m_server;
    ChildProcess m_autoHelper;
    Clock::time_point m_autoStarted;
    int m_autoFd = -1;
    platform::Endpoint m_watch;
    const std::uint32_t m_discoverMsg = platform::registerMessage(protocol::kLightDiscoverMessage);
    int m_discovers = 0;
};

std::string today()
{
    const std::time_t now = std::time(nullptr);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", std::gmtime(&now));
    return text;
}

Report reportOf(const BenchOptions &options, const Results &r)
{
    Report report;
    report.cpu = probe::cpuModel();
    report.cores = static_cast<int>(std::thread::hardware_concurrency());
    report.commit = options.commit;
    report.date = today();
    report.method =
        "one run on this machine; durations on the steady clock (CLOCK_MONOTONIC), which every process reads, "
        "so a latency is the device service's arrival stamp minus the host's time just before the entry point. "
        "Each event waits for its light command before the next (in the spaced passes, 2 ms more), except in the "
        "signal rounds, where each comes a fixed pause after the last. The baseline relay "
        "and sink are plain C++ "
        "processes on Unix domain sockets. Memory is VmRSS; idle activity is the sum over all threads of "
        "schedstat run time and of context switches (voluntary and not, from /proc/PID/task/*/status) over the "
        "period: a thread that sleeps until a timer or a message wakes it counts one switch each time it goes back "
        "to sleep, so a program that never wakes counts none. The minimal Qt Widgets program beside it is measured "
        "over the same seconds. The lighting-server helper runs in auto mode in a runtime folder of its own, where "
        "no device service answers its DISCOVERs; it starts first with VOSSIK_SEARCH_FAST_MS=0, so its search slows "
        "down while the rest is measured, and the benchmark counts its DISCOVERs at an endpoint of its own.";

    const auto durations = [](const char *name, const std::vector<std::int64_t> &measured,
                              const std::vector<std::int64_t> &baseline, const char *baselineName) {
        Figure figure;
        figure.name = name;
        figure.unit = "ns";
        figure.measured = summarize(measured);
        figure.baseline = summarize(baseline);
        figure.baselineName = baselineName;
        return figure;
    };
    const auto value = [](const char *name, const char *unit, std::int64_t measured, std::int64_t baseline,
                          const char *baselineName) {
        Figure figure;
        figure.name = name;
        figure.unit = unit;
        figure.distribution = false;
        figure.measured = single(measured);
        figure.baseline = single(baseline);
        figure.baselineName = baselineName ? baselineName : "";
        return figure;
    };

    Figure latency = durations("Talk event to light command", r.chain.latency, r.relay.latency,
                               "plain-socket relay and sink, no Qt");
    latency.name += " (" + std::to_string(r.chain.latency.size()) + " events)";
    latency.note = r.chain.delivery.note(static_cast<std::size_t>(options.events));
    // One hand-off more than the relay: the plugin's writer thread.
    latency.target = "p99 <= 1.5 x baseline and < 1 ms";
    latency.targetMet = r.chain.delivery.whole() && latency.measured.p99 < 1000000 && ratioOf(latency) <= 1.5;
    report.figures.push_back(latency);

    Figure remote = durations("Remote Apps event to light command", r.remoteApps.latency, r.chain.latency,
                              "plugin talk event to light command, this run");
    remote.name += " (" + std::to_string(r.remoteApps.latency.size()) + " events)";
    remote.target = "p99 <= 1.5 x baseline";
    if (r.remoteAppsUnmeasured.empty()) {
        remote.note = "from the stand-in Remote Apps server's stamp just before it sends your talkStatusChanged over "
                      "its WebSocket to the device service's arrival stamp, at a standalone helper of its own; each "
                      "event after the last one's light; "
                      + r.remoteApps.delivery.note(static_cast<std::size_t>(serverEvents(options)));
        remote.targetMet = r.remoteApps.delivery.whole() && ratioOf(remote) <= 1.5;
    } else {
        remote.note = r.remoteAppsUnmeasured;
    }
    report.figures.push_back(remote);

    Figure cost = durations("Host-thread cost per event, connected", r.chain.cost, r.relay.cost,
                            "plain write() of the same bytes");
    // The host's thread only hands the word over.
    cost.target = "p99 <= 0.5 x baseline";
    cost.targetMet = ratioOf(cost) <= 0.5;
    report.figures.push_back(cost);

    const std::string spaced = " (" + std::to_string(r.chainSpaced.latency.size()) + " events "
                               + std::to_string(kSpacedPause.count()) + " ms apart)";
    Figure spacedLatency = durations("Talk event to light command, the writer asleep", r.chainSpaced.latency,
                                     r.relaySpaced.latency, "plain-socket relay and sink, the same pauses");
    spacedLatency.name += spaced;
    spacedLatency.note = "each event after the plugin's writer has gone to sleep, so it is woken for every word; "
                         + r.chainSpaced.delivery.note(static_cast<std::size_t>(spacedEvents(options)));
    report.figures.push_back(spacedLatency);
    Figure spacedCost = durations("Host-thread cost per event, the writer asleep", r.chainSpaced.cost,
                                  r.relaySpaced.cost, "plain write() of the same bytes, the same pauses");
    spacedCost.name += spaced;
    spacedCost.note = "includes the call that wakes the writer";
    report.figures.push_back(spacedCost);

    const std::string rounds = " (" + std::to_string(r.pokeCost.size()) + " rounds)";
    const std::string roundsNote = "rounds of a talk event, a poke and a private message from another client, each "
                                   + std::to_string(kSignalPause.count())
                                   + " us after the last, the helper connected; the baseline is the talk event of "
                                     "the same rounds";
    for (const auto &[name, costs] : {std::make_pair("Host-thread cost per poke event", &r.pokeCost),
                                      std::make_pair("Host-thread cost per private message event", &r.messageCost)}) {
        Figure signal = durations(name, *costs, r.roundTalkCost, "talk event, the same rounds");
        signal.name += rounds;
        signal.note = roundsNote;
        // The same work as a talk event: the own id asked, a word queued.
        signal.target = "p99 <= 1.5 x baseline";
        signal.targetMet = ratioOf(signal) <= 1.5;
        report.figures.push_back(signal);
    }

    report.figures.push_back(value("First event, helper listening", "ns", r.firstListening, r.firstListeningBase,
                                   "plain connect() and write()"));
    Figure absent =
        value("First event, helper absent", "ns", r.firstAbsent, r.absentBase, "plain connect() to a missing socket");
    absent.note = "the first call into a freshly loaded library also pays for touching its code; a later "
                  "event a second on took "
                  + std::to_string(r.retryAbsent) + " ns";
    absent.target = "< 1 ms, and the later one too";
    absent.targetMet = r.firstAbsent < 1000000 && r.retryAbsent < 1000000;
    report.figures.push_back(absent);

    Figure burst = value("Burst of words written at once, to the last light command", "ns", r.burstChain, r.burstRelay,
                         "plain-socket relay and sink");
    burst.name += " (" + std::to_string(options.burst) + " words)";
    burst.note = "helper: " + r.burstChainDelivery.note(static_cast<std::size_t>(options.burst))
                 + "; baseline: " + r.burstRelayDelivery.note(static_cast<std::size_t>(options.burst));
    burst.target = "none lost or reordered, < 100 ms";
    burst.targetMet = r.burstChainDelivery.whole() && r.burstChain >= 0 && r.burstChain < 100000000;
    report.figures.push_back(burst);

    Figure memory =
        value("Helper resident memory after start-up", "KiB", r.helperKiB, r.minimalKiB, "minimal Qt Widgets program");
    memory.target = "<= 1.2 x baseline";
    memory.targetMet = ratioOf(memory) <= 1.2;
    report.figures.push_back(memory);

    const std::string idle = " idle seconds";
    Figure cpu = value("Helper CPU time while idle", "ns", r.helperIdle.cpuNs, r.minimalIdle.cpuNs,
                       "minimal Qt Widgets program");
    cpu.name += ", " + std::to_string(options.idleSeconds) + idle;
    report.figures.push_back(cpu);
    Figure wakeups = value("Helper wake-ups while idle", "switches", r.helperIdle.switches, r.minimalIdle.switches,
                           "minimal Qt Widgets program");
    wakeups.name += ", " + std::to_string(options.idleSeconds) + idle;
    wakeups.target = "none (Remote Apps off for this helper; its look for TeamSpeak 5/6: the still-colour figure)";
    wakeups.targetMet = r.helperIdle.switches == 0;
    report.figures.push_back(wakeups);

    Figure toServer = durations("Word at the helper to light, lighting server (auto mode)", r.wordToServer.latency,
                                r.wordToService.latency, "the same words to the device service");
    toServer.name += " (" + std::to_string(r.wordToServer.latency.size()) + " words)";
    toServer.note = "from the word written on the helper's socket to the stand-in server's stamp of the first "
                    "LED update with the word's colour, each word one update slot ("
                    + std::to_string(light::SlotGrid::kSlotNs / 1000) + " us) after the last one's light; "
                    + r.wordToServer.delivery.note(static_cast<std::size_t>(serverEvents(options)));
    toServer.target = "p99 < 2 ms";
    toServer.targetMet =
        r.wordToServer.delivery.whole() && !r.wordToServer.latency.empty() && toServer.measured.p99 < 2000000;
    report.figures.push_back(toServer);
    const std::string seconds = ", " + std::to_string(options.idleSeconds) + " s";
    Figure animating = value("Helper CPU time while animating (breathing), lighting server (auto mode)", "ns",
                             r.animating.cpuNs, r.helperIdle.cpuNs, "the idle helper on the device service");
    animating.name += seconds;
    animating.target = "< 2 % of one core";
    animating.targetMet = r.animating.cpuNs < options.idleSeconds * 1000000000LL / 50;
    report.figures.push_back(animating);
    Figure still = value("Helper wake-ups on a still colour (On), lighting server (auto mode)", "switches",
                         r.still.switches, r.minimalStill.switches, "minimal Qt Widgets program, the same seconds");
    still.name += seconds;
    char began[32];
    std::snprintf(began, sizeof began, "%.1f", double(r.stillBeganMs) / 1000);
    still.note = std::to_string(r.stillUpdates) + " LED updates meanwhile; CPU " + std::to_string(r.still.cpuNs)
                 + " ns; began " + began + " s after the helper's start, after its DISCOVER number "
                 + std::to_string(r.discoversBefore) + ", with " + std::to_string(r.discoversDuring)
                 + " DISCOVER(s) in these seconds";
    // Its search for a device service and its look for TeamSpeak 5/6, each
    // every 30 s once slowed down, are the two things left that may wake it.
    const std::int64_t searches =
        2
        * ((options.idleSeconds * 1000 + SearchSchedule::kSlowestIntervalMs - 1) / SearchSchedule::kSlowestIntervalMs);
    still.target = "no LED update, at most " + std::to_string(searches)
                   + " wake-up(s): the search for a device service and the look for TeamSpeak 5/6, each every 30 s "
                     "by then";
    if (r.searchSlowed) {
        still.note += ", centred on the first one due 30 s after the one before";
        still.targetMet = r.stillUpdates == 0 && r.still.switches <= searches;
    } else {
        still.note += "; the search had not slowed down to every 30 s yet (--search-wait "
                      + std::to_string(options.searchWaitSeconds) + "), so the target is not judged";
    }
    report.figures.push_back(still);

    report.figures.push_back(value("Helper start to listening", "ns", r.startToListening, r.minimalStart,
                                   "minimal Qt Widgets program, start to event loop"));
    report.figures.push_back(value("Helper start to first light command", "ns", r.startToLight, r.minimalStart,
                                   "minimal Qt Widgets program, start to event loop"));
    return report;
}

}  // namespace

int runBench(const BenchOptions &options)
{
    Rig rig;
    std::string error;
    if (!makeRig(&rig, &error)) {
        std::fprintf(stderr, "vossik_bench: %s\n", error.c_str());
        return 1;
    }
    // With the wait, the still colour is measured around the first DISCOVER
    // that comes the longest interval after the one before.
    const int searchSlowS =
        options.searchWaitSeconds > 0
            ? int((slowestSearch().afterMs + SearchSchedule::kSlowestIntervalMs) / 1000) + options.idleSeconds / 2
            : 0;
    std::fprintf(stdout, "Measuring (about %d s)...\n", std::max(3 * options.idleSeconds + 9, searchSlowS + 2));
    std::fflush(stdout);
    // The plugin and the helper log as they go (the plugin on standard
    // output too); that goes to the log, so only the table reaches the terminal.
    const int terminalOut = ::dup(1);
    const int terminalErr = ::dup(2);
    const int log = ::open(options.log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (log >= 0) {
        ::dup2(log, 1);
        ::dup2(log, 2);
        ::close(log);
    }

    Results results;
    bool ok;
    {
        Bench bench(options, rig);
        ok = bench.run(&results, &error);
    }
    std::fflush(stdout);
    ::dup2(terminalOut, 1);
    ::dup2(terminalErr, 2);
    ::close(terminalOut);
    ::close(terminalErr);
    std::filesystem::remove_all(rig.runtime);
    if (!ok) {
        std::fprintf(stderr, "vossik_bench: %s (the processes' output is in %s)\n", error.c_str(), options.log.c_str());
        return 1;
    }
    const Report report = reportOf(options, results);
    std::fputs(formatTable(report).c_str(), stdout);
    std::ofstream(options.json) << formatJson(report);
    std::fprintf(stdout, "\nJSON: %s\n", options.json.c_str());
    // Slow is a figure; a lost or misplaced command is a failure.
    const bool whole = results.chain.delivery.whole() && results.chainSpaced.delivery.whole()
                       && results.burstChainDelivery.whole() && results.relay.delivery.whole()
                       && results.relaySpaced.delivery.whole() && results.burstRelayDelivery.whole()
                       && results.wordToService.delivery.whole() && results.wordToServer.delivery.whole()
                       && results.remoteApps.delivery.whole();
    if (!whole)
        std::fprintf(stderr, "vossik_bench: commands were lost or arrived out of order\n");
    return whole ? 0 : 3;
}

}  // namespace bench
