#include "host.h"

#include "client_functions.h"
#include "console.h"
#include "entry_points.h"
#include "folders.h"
#include "names.h"
#include "script.h"
#include "shared_library.h"
#include "ts3_plugin_exports.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <optional>
#include <random>
#include <thread>
#include <type_traits>
#include <utility>


namespace fs = std::filesystem;

namespace ts3host {

namespace {

// Passed to ts3plugin_registerPluginID; the client makes up one per plugin.
constexpr char kPluginId[] = "vossik_plugin_test_id";
// Printed around the name of the folder beside the library where the
// plugin looks for its helper.
constexpr char kUsageHead[] =
    "Usage: ts3host --plugin LIB [options]\n"
    "Loads a voice-chat client plugin as the client does and plays a session to it.\n"
    "\n"
    "  --plugin LIB        the plugin library; copied into the plugins folder and loaded from there\n"
    "  --helper PROGRAM    copied into <plugins folder>/";
constexpr char kUsageTail[] =
    "/\n"
    "  --plugins-dir DIR   the plugins folder (default: a temporary one, removed at exit)\n"
    "  --config-dir DIR    the client's configuration folder (default: a temporary one, removed at exit)\n"
    "  --script FILE|-     play the commands in FILE or on standard input; without it, read them interactively\n"
    "  --client-id N       the own client's id on every connection (default 1)\n"
    "  --timings           print how long each entry point call took\n"
    "  --timings-file FILE the same, into FILE (when the client's output is not read)\n"
    "  --keep-loaded       keep the plugin and the libraries it loaded in memory after shutdown, as a client\n"
    "                      that shares them does; a leak checker at exit can then name what it finds\n"
    "  --help              print this text\n"
    "\n"
    "Commands, one per line; blank lines and lines starting with # are skipped:\n"
    "  talk own <status>          talk status of the own client on the current connection\n"
    "  talk <clientId> <status>   talk status of another client\n"
    "  connection <id>            make <id> the current connection (1 at the start)\n"
    "  own <clientId>             the own client's id on the current connection\n"
    "  clientid-error <code>      getClientID fails with <code> on the current connection (0: succeeds again)\n"
    "  menu <itemId> [<type>]     click a menu item (type 0 global, 1 channel, 2 client; default 0)\n"
    "  status <status>            the current connection's status changes (0 disconnected ... 4 established)\n"
    "  move <clientId>|own [<visibility>]\n"
    "                             a client moves to another channel on the current connection (visibility\n"
    "                             0 entered view, 1 stayed in view, 2 left view; default 1)\n"
    "  kick <clientId>|own        a client is kicked from the current connection's server\n"
    "  (a plugin without the entry point of status, move or kick is not called; ts3host says so)\n"
    "  sleep <ms>\n"
    "  shutdown                   shut the plugin down and end the session\n"
    "  echo <text>                print the text\n"
    "\n"
    "Exit status: 0 after shutdown, 1 a folder or copy failed, 2 bad command line or script,\n"
    "3 the library is not a loadable plugin, 4 the plugin's init failed.\n";

void report(const std::string &message)
{
    std::fprintf(stderr, "ts3host: %s\n", message.c_str());
}

std::string text(const char *maybeNull)
{
    return maybeNull ? maybeNull : "(null)";
}

// The plugin's life as the client leads it, one entry point call at a time.
class Session
{
public:
    // `timings`: where to write how long each call took, or null.
    Session(const EntryPoints &entry, std::FILE *timings) : m_entry(entry), m_timings(timings) {}

    // From ts3plugin_name up to the menus. 0, or the exit status to end with.
    int start(const std::string &libraryName);
    // One script command; false once the session has ended.
    bool play(const Command &command);
    // Shuts the plugin down unless the script already did.
    void end();

private:
    template <typename Function, typename... Args>
    auto call(const char *name, Function function, Args &&...args);
    void finished(const char *name, std::chrono::steady_clock::time_point started);
    void initMenus();
    bool has(const char *name, bool present);
    anyID clientOf(const Command &command) const
    {
        return command.own ? ownClientId(m_connection) : command.clientId;
    }

    const EntryPoints &m_entry;
    std::FILE *const m_timings;
    uint64 m_connection = 1;
    bool m_running = false;
};

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

bool Session::play(const Command &command)
{
    if (!m_running)
        return false;
    switch (command.kind) {
    case Command::Kind::TalkOwn:
        call(TS3HOST_ENTRY(ts3plugin_onTalkStatusChangeEvent), m_connection, command.status, 0,
             ownClientId(m_connection));
        break;
    case Command::Kind::Talk:
        call(TS3HOST_ENTRY(ts3plugin_onTalkStatusChangeEvent), m_connection, command.status, 0, command.clientId);
        break;
    case Command::Kind::Connection:
        m_connection = command.connection;
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
        if (TS3HOST_HAS(ts3plugin_onConnectStatusChangeEvent))
            call(TS3HOST_ENTRY(ts3plugin_onConnectStatusChangeEvent), m_connection, command.status, 0u);
        break;
    case Command::Kind::Move:
        if (TS3HOST_HAS(ts3plugin_onClientMoveEvent)) {
            call(TS3HOST_ENTRY(ts3plugin_onClientMoveEvent), m_connection, clientOf(command), uint64{1},
                 uint64{2}, command.visibility, "");
        }
        break;
    case Command::Kind::Kick:
        if (TS3HOST_HAS(ts3plugin_onClientKickFromServerEvent)) {
            call(TS3HOST_ENTRY(ts3plugin_onClientKickFromServerEvent), m_connection, clientOf(command), uint64{1},
                 uint64{0}, 2, anyID{0}, "", "", "");
        }
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

void playInteractively(Session &session)
{
    const bool terminal = platform::stdinIsTerminal();
    std::string line;
    for (int number = 1;; ++number) {
        if (terminal) {
            std::fputs("ts3> ", stdout);
            std::fflush(stdout);
        }
        if (!std::getline(std::cin, line))
            break;
        const ParsedLine parsed = parseLine(line);
        if (!parsed.error.empty())
            report("line " + std::to_string(number) + ": " + parsed.error);
        else if (parsed.command && !session.play(*parsed.command))
            return;
    }
    if (terminal)
        std::fputs("\n", stdout);
}

bool readScript(const std::string &name, std::string *script)
{
    if (name == "-") {
        script->assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
        return !std::cin.bad();
    }
    std::ifstream file(fs::u8path(name), std::ios::binary);
    if (!file)
        return false;
    script->assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return !file.bad();
}

}  // namespace

bool parseArguments(const std::vector<std::string> &arguments, Options *options, std::string *error)
{
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::string name = arguments[i];
        std::optional<std::string> value;
        const size_t equals = name.find('=');
        if (name.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
        }
        const auto takeValue = [&](std::string *out) {
            if (!value) {
                if (i + 1 >= arguments.size()) {
                    *error = name + " needs a value";
                    return false;
                }
                value = arguments[++i];
            }
            if (value->empty()) {
                *error = name + " needs a non-empty value";
                return false;
            }
            *out = *value;
            return true;
        };
        const auto flag = [&](bool *out) {
            if (value) {
                *error = name + " takes no value";
                return false;
            }
            *out = true;
            return true;
        };

        bool ok = false;
        if (name == "--help" || name == "-h") {
            ok = flag(&options->help);
        } else if (name == "--timings") {
            ok = flag(&options->timings);
        } else if (name == "--keep-loaded") {
            ok = flag(&options->keepLoaded);
        } else if (name == "--plugin") {
            ok = takeValue(&options->plugin);
        } else if (name == "--helper") {
            ok = takeValue(&options->helper);
        } else if (name == "--plugins-dir") {
            ok = takeValue(&options->pluginsDir);
        } else if (name == "--config-dir") {
            ok = takeValue(&options->configDir);
        } else if (name == "--timings-file") {
            ok = takeValue(&options->timingsFile);
        } else if (name == "--script") {
            ok = takeValue(&options->script);
        } else if (name == "--client-id") {
            std::string id;
            ok = takeValue(&id);
            if (ok) {
                const auto [end, ec] = std::from_chars(id.data(), id.data() + id.size(), options->clientId);
                ok = ec == std::errc() && end == id.data() + id.size();
                if (!ok)
                    *error = "--client-id takes a number from 0 to 65535";
            }
        } else {
            *error = "unknown option " + name;
        }
        if (!ok)
            return false;
    }
    if (!options->help && options->plugin.empty()) {
        *error = "--plugin LIB is required";
        return false;
    }
    return true;
}

int run(int argc, char **argv)
{
    Options options;
    std::string error;
    if (!parseArguments(platform::utf8Arguments(argc, argv), &options, &error)) {
        report(error + " (see --help)");
        return kExitBadInput;
    }
    if (options.help) {
        std::printf("%s%s%s", kUsageHead, protocol::kPluginFolderName, kUsageTail);
        return 0;
    }

    // The whole script is checked before anything is loaded, so a typo
    // never leaves a session half played.
    std::optional<Script> script;
    if (!options.script.empty()) {
        const std::string scriptName = options.script == "-" ? std::string("standard input") : options.script;
        std::string scriptText;
        if (!readScript(options.script, &scriptText)) {
            report("cannot read the script " + scriptName);
            return kExitBadInput;
        }
        script = parseScript(scriptText);
        if (!script->ok()) {
            report(scriptName + ":" + std::to_string(script->errorLine) + ": " + script->error);
            return kExitBadInput;
        }
    }

    const fs::path pluginSource = fs::u8path(options.plugin);
    std::error_code ec;
    if (!fs::is_regular_file(pluginSource, ec)) {
        report("cannot load " + options.plugin + ": not an existing file");
        return kExitRefused;
    }

    // Declared before the library, so they are removed after it is unloaded
    // (Windows keeps a loaded library's file).
    TemporaryFolder temporaryPlugins;
    TemporaryFolder temporaryConfig;
    fs::path pluginsDir;
    fs::path configDir;
    fs::path libraryPath;
    if (!prepareFolder(options.pluginsDir, "ts3host-plugins", &temporaryPlugins, &pluginsDir, &error)
        || !prepareFolder(options.configDir, "ts3host-config", &temporaryConfig, &configDir, &error)
        || !copyInto(pluginSource, pluginsDir, &libraryPath, &error)) {
        report(error);
        return kExitSetupFailed;
    }
    if (!options.helper.empty()) {
        const fs::path helperFolder = pluginsDir / protocol::kPluginFolderName;
        fs::path helperCopy;
        fs::create_directories(helperFolder, ec);
        if (ec) {
            report("cannot create the folder " + helperFolder.u8string() + ": " + ec.message());
            return kExitSetupFailed;
        }
        if (!copyInto(fs::u8path(options.helper), helperFolder, &helperCopy, &error)) {
            report(error);
            return kExitSetupFailed;
        }
    }
    setConfigPath(folderAnswer(configDir));
    setPluginPath(folderAnswer(pluginsDir));
    setDefaultClientId(options.clientId);

    const std::string libraryName = libraryPath.u8string();
    platform::SharedLibrary library;
    if (!library.open(libraryName) || (options.keepLoaded && !library.keepLoaded())) {
        report("cannot load " + libraryName + ": " + library.error());
        return kExitRefused;
    }
    EntryPoints entry;
    const std::vector<std::string> missing = resolve(library, &entry);
    if (!missing.empty()) {
        std::string names;
        for (const std::string &name : missing)
            names += (names.empty() ? "" : ", ") + name;
        report(libraryName + " lacks the entry point" + (missing.size() > 1 ? "s " : " ") + names);
        return kExitRefused;
    }

    std::unique_ptr<std::FILE, int (*)(std::FILE *)> timingsFile(nullptr, &std::fclose);
    if (!options.timingsFile.empty()) {
        timingsFile.reset(std::fopen(options.timingsFile.c_str(), "w"));
        if (!timingsFile) {
            report("cannot write " + options.timingsFile);
            return kExitSetupFailed;
        }
    }
    Session session(entry, timingsFile ? timingsFile.get() : options.timings ? stderr : nullptr);
    if (const int status = session.start(libraryName))
        return status;
    if (script) {
        for (const Command &command : script->commands) {
            if (!session.play(command))
                break;
        }
    } else {
        playInteractively(session);
    }
    session.end();
    return 0;
}

}  // namespace ts3host
