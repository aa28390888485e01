#include "plugin_host.h"

#include "client_functions.h"

#include <chrono>
#include <filesystem>

namespace bench {

PluginHost::~PluginHost()
{
    shutdown();
}

bool PluginHost::start(const std::string &plugin, const std::string &helper, const std::string &configDir,
                       std::string *error)
{
    std::filesystem::path copy;
    // Kept loaded, as in a client that has Qt itself.
    if (!m_plugins.create("vossik-bench-plugins", error)
        || !ts3host::installPlugin(plugin, helper, m_plugins.path(), &copy, error)
        || !ts3host::loadPlugin(copy.u8string(), true, &m_library, &m_entry, error))
        return false;
    ts3host::setConfigPath(ts3host::folderAnswer(configDir));
    ts3host::setPluginPath(ts3host::folderAnswer(m_plugins.path()));
    m_session.emplace(m_entry, nullptr);
    if (m_session->start(copy.u8string()) != 0) {
        m_session.reset();
        *error = "the plugin did not start";
        return false;
    }
    return true;
}

namespace {

// Another client than the user (ts3host's client 1).
constexpr std::uint16_t kOtherClient = 7;

}  // namespace

PluginHost::Call PluginHost::talk(int status)
{
    ts3host::Command command;
    command.kind = ts3host::Command::Kind::TalkOwn;
    command.status = status;
    return play(command);
}

PluginHost::Call PluginHost::poke()
{
    ts3host::Command command;
    command.kind = ts3host::Command::Kind::Poke;
    command.clientId = kOtherClient;
    return play(command);
}

PluginHost::Call PluginHost::message()
{
    ts3host::Command command;
    command.kind = ts3host::Command::Kind::Message;
    command.targetMode = TextMessageTarget_CLIENT;
    command.clientId = kOtherClient;
    return play(command);
}

PluginHost::Call PluginHost::play(const ts3host::Command &command)
{
    m_session->play(command);
    const ts3host::Session::Call call = m_session->lastCall();
    return {static_cast<std::uint64_t>(
                std::chrono::duration_cast<std::chrono::nanoseconds>(call.started.time_since_epoch()).count()),
            static_cast<std::int64_t>(call.took.count())};
}

void PluginHost::shutdown()
{
    if (m_session)
        m_session->end();
    m_session.reset();
}

}  // namespace bench
