// The voice client's side, in the benchmark's own process: loads a copy of
// the plugin library and leads it through ts3host's session, timing each
// event on the calling thread.
#pragma once

#include "folders.h"
#include "session.h"
#include "shared_library.h"

#include <cstdint>
#include <optional>
#include <string>

namespace bench {

class PluginHost
{
public:
    PluginHost() = default;
    ~PluginHost();
    PluginHost(const PluginHost &) = delete;
    PluginHost &operator=(const PluginHost &) = delete;

    // Lays out a plugins folder with a copy of `plugin` (and of `helper` in
    // its folder, unless empty), loads the copy and starts the session as
    // the client does. False with `error` set on failure.
    bool start(const std::string &plugin, const std::string &helper, const std::string &configDir, std::string *error);
    struct Call {
        std::uint64_t startedNs;  // steady clock, just before the call
        std::int64_t tookNs;      // spent inside the entry point
    };
    // One talk status change of the own client.
    Call talk(int status);
    // A poke from another client, and a private message from one.
    Call poke();
    Call message();
    void shutdown();

private:
    Call play(const ts3host::Command &command);

    ts3host::TemporaryFolder m_plugins;
    platform::SharedLibrary m_library;
    ts3host::EntryPoints m_entry;
    std::optional<ts3host::Session> m_session;
};

}  // namespace bench
