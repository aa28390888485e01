// The plugin's life as the voice client leads it, one entry point call at a
// time: the start-up sequence of the API version built for, the script's
// events, and the shutdown. ts3host and the benchmark both play it.
#pragma once

#include "entry_points.h"
#include "script.h"

#include <chrono>
#include <cstdio>
#include <string>

namespace ts3host {

// Exit statuses besides 0.
constexpr int kExitSetupFailed = 1;  // a folder or file could not be laid out
constexpr int kExitBadInput = 2;     // bad command line or script
constexpr int kExitRefused = 3;      // the library is not a loadable plugin
constexpr int kExitInitFailed = 4;   // ts3plugin_init reported failure

// A line on standard error, marked as the host's.
void report(const std::string &message);

class Session
{
public:
    // `timings`: where to write how long each call took, or null.
    Session(const EntryPoints &entry, std::FILE *timings) : m_entry(entry), m_timings(timings) {}

    // From ts3plugin_name up to the menus and hotkeys. 0, or the exit status to end with.
    int start(const std::string &libraryName);
    // One script command; false once the session has ended.
    bool play(const Command &command);
    // Shuts the plugin down unless the script already did.
    void end();

    // The last entry point call: when it began on the steady clock, and
    // how long the plugin held the calling thread.
    struct Call {
        std::chrono::steady_clock::time_point started;
        std::chrono::nanoseconds took{0};
    };
    Call lastCall() const { return m_lastCall; }

private:
    template <typename Function, typename... Args>
    auto call(const char *name, Function function, Args &&...args);
    void finished(const char *name, std::chrono::steady_clock::time_point started);
    void initMenus();
    void initHotkeys();
    bool has(const char *name, bool present);
    void handled(const char *name, const char *what, int result);
    anyID clientOf(const Command &command) const;

    const EntryPoints &m_entry;
    std::FILE *const m_timings;
    uint64 m_connection = 1;
    bool m_running = false;
    Call m_lastCall;
};

}  // namespace ts3host
