#include "session.h"

#include "client_functions.h"

#include <cstring>
#include <thread>
#include <type_traits>
#include <utility>

namespace ts3host {

namespace {

// Passed to ts3plugin_registerPluginID; the client makes up one per plugin.
constexpr char kPluginId[] = "vossik_plugin_test_id";
// Where a move without "to" goes, as before the host kept channels.
constexpr uint64 kDefaultMoveChannel = 2;

std::string text(const char *maybeNull)
{
    return maybeNull ? maybeNull : "(null)";
}

}  // namespace

void report(const std::string &message)
{
    std::fprintf(stderr, "ts3host: %s\n", message.c_str());
}

#define TS3HOST_ENTRY(name) #name, m_entry.name
#define TS3HOST_HAS(name) has(#name, m_entry.name != nullptr)

template <typename Function, typename... Args>
auto Session::call(const char *name, Function function, Args &&...args)
{
    const auto started = std::chrono::steady_clock::now();
    if constexpr (std::is_void_v<std::invoke_result_t<Function, Args...>>) {
        function(std::forward<Args>(args)...);
        finished(name, started);
    } else {
        const auto result = function(std::forward<Args>(args)...);
        finished(name, started);
        return result;
    }
}

void Session::finished(const char *name, std::chrono::steady_clock::time_point started)
{
    const auto elapsed = std::chrono::steady_clock::now() - started;
    m_lastCall = {started, std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed)};
    // The plugin reports with printf; a reader on a pipe should see it now.
    std::fflush(stdout);
    if (m_timings) {
        std::fprintf(m_timings, "ts3host: %s took %lld us\n", name,
                     static_cast<long long>(std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count()));
    }
}

int Session::start(const std::string &libraryName)
{
    const std::string name = text(call(TS3HOST_ENTRY(ts3plugin_name)));
    const std::string version = text(call(TS3HOST_ENTRY(ts3plugin_version)));
    const std::string author = text(call(TS3HOST_ENTRY(ts3plugin_author)));
    call(TS3HOST_ENTRY(ts3plugin_description));
    const int api = call(TS3HOST_ENTRY(ts3plugin_apiVersion));
    if (api != TS3_PLUGIN_API_VERSION) {
        report(libraryName + " is built for plugin API " + std::to_string(api) + ", this host for API "
               + std::to_string(TS3_PLUGIN_API_VERSION));
        return kExitRefused;
    }
    std::fprintf(stderr, "ts3host: loaded \"%s\" %s by %s, API %d\n", name.c_str(), version.c_str(), author.c_str(),
                 api);

    call(TS3HOST_ENTRY(ts3plugin_setFunctionPointers), clientFunctions());
    // Clients of API 26 and later tell the plugin its id before init.
#if TS3_PLUGIN_API_VERSION >= 26
    call(TS3HOST_ENTRY(ts3plugin_registerPluginID), kPluginId);
#endif
    const int initResult = call(TS3HOST_ENTRY(ts3plugin_init));
    if (initResult != 0) {
        report("ts3plugin_init returned " + std::to_string(initResult) + ", so the plugin stays unloaded");
        return kExitInitFailed;
    }
    m_running = true;
#if TS3_PLUGIN_API_VERSION < 26
    call(TS3HOST_ENTRY(ts3plugin_registerPluginID), kPluginId);
#endif
    initMenus();
    initHotkeys();
    return 0;
}

void Session::initMenus()
{
    PluginMenuItem **items = nullptr;
    char *icon = nullptr;
    call(TS3HOST_ENTRY(ts3plugin_initMenus), &items, &icon);
    if (items) {
        for (PluginMenuItem **item = items; *item; ++item) {
            const PluginMenuItem &menu = **item;
            std::fprintf(stderr, "ts3host: menu item %d \"%s\" icon \"%s\" type %d\n", menu.id,
                         std::string(menu.text, strnlen(menu.text, PLUGIN_MENU_BUFSZ)).c_str(),
                         std::string(menu.icon, strnlen(menu.icon, PLUGIN_MENU_BUFSZ)).c_str(),
                         static_cast<int>(menu.type));
        }
    }
    if (icon)
        std::fprintf(stderr, "ts3host: menu icon \"%s\"\n", icon);
    // The blocks are the plugin's to free: its allocator may not be ours.
    if (items) {
        for (PluginMenuItem **item = items; *item; ++item)
            call(TS3HOST_ENTRY(ts3plugin_freeMemory), static_cast<void *>(*item));
        call(TS3HOST_ENTRY(ts3plugin_freeMemory), static_cast<void *>(items));
    }
    if (icon)
        call(TS3HOST_ENTRY(ts3plugin_freeMemory), static_cast<void *>(icon));
}

void Session::initHotkeys()
{
    if (!m_entry.ts3plugin_initHotkeys)
        return;  // a plugin without hotkeys
    PluginHotkey **hotkeys = nullptr;
    call(TS3HOST_ENTRY(ts3plugin_initHotkeys), &hotkeys);
    if (!hotkeys)
        return;
    for (PluginHotkey **hotkey = hotkeys; *hotkey; ++hotkey) {
        std::fprintf(stderr, "ts3host: hotkey \"%s\" \"%s\"\n",
                     std::string((*hotkey)->keyword, strnlen((*hotkey)->keyword, PLUGIN_HOTKEY_BUFSZ)).c_str(),
                     std::string((*hotkey)->description, strnlen((*hotkey)->description, PLUGIN_HOTKEY_BUFSZ)).c_str());
    }
    for (PluginHotkey **hotkey = hotkeys; *hotkey; ++hotkey)
        call(TS3HOST_ENTRY(ts3plugin_freeMemory), static_cast<void *>(*hotkey));
    call(TS3HOST_ENTRY(ts3plugin_freeMemory), static_cast<void *>(hotkeys));
}

bool Session::play(const Command &command)
{
    if (!m_running)
        return false;
    switch (command.kind) {
    case Command::Kind::TalkOwn:
        call(TS3HOST_ENTRY(ts3plugin_onTalkStatusChangeEvent), m_connection, command.status, int(command.whisper),
             ownClientId(m_connection));
        break;
    case Command::Kind::Talk:
        call(TS3HOST_ENTRY(ts3plugin_onTalkStatusChangeEvent), m_connection, command.status, int(command.whisper),
             command.clientId);
        break;
    case Command::Kind::Connection:
        m_connection = command.connection;
        useConnection(m_connection);
        break;
    case Command::Kind::Own:
        setOwnClientId(m_connection, command.clientId);
        break;
    case Command::Kind::ClientIdError:
        setClientIdError(m_connection, command.errorCode);
        break;
    case Command::Kind::Menu:
        call(TS3HOST_ENTRY(ts3plugin_onMenuItemEvent), m_connection, static_cast<PluginMenuType>(command.menuType),
             command.menuItemId, uint64{0});
        break;
    case Command::Kind::Status:
        setConnectionStatus(m_connection, command.status);
        if (TS3HOST_HAS(ts3plugin_onConnectStatusChangeEvent))
            call(TS3HOST_ENTRY(ts3plugin_onConnectStatusChangeEvent), m_connection, command.status, 0u);
        break;
    case Command::Kind::Move: {
        const anyID client = clientOf(command);
        const uint64 from = clientChannel(m_connection, client);
        const uint64 to = command.channelGiven ? command.channel : kDefaultMoveChannel;
        setClientChannel(m_connection, client, to);
        if (TS3HOST_HAS(ts3plugin_onClientMoveEvent))
            call(TS3HOST_ENTRY(ts3plugin_onClientMoveEvent), m_connection, client, from, to, command.visibility, "");
        break;
    }
    case Command::Kind::Kick: {
        const anyID client = clientOf(command);
        const uint64 from = clientChannel(m_connection, client);
        setClientChannel(m_connection, client, 0);
        if (TS3HOST_HAS(ts3plugin_onClientKickFromServerEvent)) {
            call(TS3HOST_ENTRY(ts3plugin_onClientKickFromServerEvent), m_connection, client, from, uint64{0},
                 int{LEAVE_VISIBILITY}, anyID{0}, "", "", "");
        }
        break;
    }
    case Command::Kind::Channel:
        setClientChannel(m_connection, ownClientId(m_connection), command.channel);
        break;
    case Command::Kind::Subscribe: {
        const uint64 to =
            command.channelGiven ? command.channel : clientChannel(m_connection, ownClientId(m_connection));
        setClientChannel(m_connection, command.clientId, to);
        if (TS3HOST_HAS(ts3plugin_onClientMoveSubscriptionEvent)) {
            call(TS3HOST_ENTRY(ts3plugin_onClientMoveSubscriptionEvent), m_connection, command.clientId, uint64{0}, to,
                 int{ENTER_VISIBILITY});
        }
        break;
    }
    case Command::Kind::Poke:
        if (TS3HOST_HAS(ts3plugin_onClientPokeEvent)) {
            handled("ts3plugin_onClientPokeEvent", "poke",
                    call(TS3HOST_ENTRY(ts3plugin_onClientPokeEvent), m_connection, clientOf(command), "Poker",
                         "poker=", "are you there?", int(command.ignored)));
        }
        break;
    case Command::Kind::Message:
        if (TS3HOST_HAS(ts3plugin_onTextMessageEvent)) {
            // A message the user sends goes to someone else.
            const anyID to = command.own ? anyID{0} : ownClientId(m_connection);
            handled("ts3plugin_onTextMessageEvent", "message",
                    call(TS3HOST_ENTRY(ts3plugin_onTextMessageEvent), m_connection, anyID(command.targetMode), to,
                         clientOf(command), "Sender", "sender=", "hello", int(command.ignored)));
        }
        break;
    case Command::Kind::Self: {
        const std::string before = std::to_string(setSelfVariable(m_connection, command.flag, command.value));
        const std::string after = std::to_string(command.value);
        if (TS3HOST_HAS(ts3plugin_onClientSelfVariableUpdateEvent)) {
            call(TS3HOST_ENTRY(ts3plugin_onClientSelfVariableUpdateEvent), m_connection, command.flag, before.c_str(),
                 after.c_str());
        }
        break;
    }
    case Command::Kind::Tab:
        setCurrentConnection(command.connection);
        if (TS3HOST_HAS(ts3plugin_currentServerConnectionChanged))
            call(TS3HOST_ENTRY(ts3plugin_currentServerConnectionChanged), command.connection);
        break;
    case Command::Kind::Hotkey:
        if (TS3HOST_HAS(ts3plugin_onHotkeyEvent))
            call(TS3HOST_ENTRY(ts3plugin_onHotkeyEvent), command.text.c_str());
        break;
    case Command::Kind::Sleep:
        std::this_thread::sleep_for(std::chrono::milliseconds(command.sleepMs));
        break;
    case Command::Kind::Shutdown:
        end();
        return false;
    case Command::Kind::Echo:
        std::printf("%s\n", command.text.c_str());
        std::fflush(stdout);
        break;
    }
    return true;
}

// A plugin that returns anything but 0 from a poke or message makes the
// client drop it: said loudly, for the tests to see.
void Session::handled(const char *name, const char *what, int result)
{
    if (result != 0)
        report(std::string(name) + " returned " + std::to_string(result) + ": the client drops the " + what);
}

anyID Session::clientOf(const Command &command) const
{
    return command.own ? ownClientId(m_connection) : command.clientId;
}

// Whether the plugin has an entry point that it may lack; says so when not.
bool Session::has(const char *name, bool present)
{
    if (!present)
        report(std::string("the plugin has no ") + name + "; the command is skipped");
    return present;
}

void Session::end()
{
    if (!m_running)
        return;
    m_running = false;
    call(TS3HOST_ENTRY(ts3plugin_shutdown));
}

#undef TS3HOST_ENTRY
#undef TS3HOST_HAS

}  // namespace ts3host
