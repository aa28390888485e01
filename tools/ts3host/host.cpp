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
    "  talk <clientId> <status> [whisper]\n"
    "                             talk status of another client; whisper: its voice is whispered to you\n"
    "  connection <id>            make <id> the current connection (1 at the start)\n"
    "  own <clientId>             the own client's id on the current connection\n"
    "  clientid-error <code>      getClientID fails with <code> on the current connection (0: succeeds again)\n"
    "  menu <itemId> [<type>]     click a menu item (type 0 global, 1 channel, 2 client; default 0)\n"
    "  status <status>            the current connection's status changes (0 disconnected ... 4 established);\n"
    "                             every connection is established until its status is set\n"
    "  self <flag> <value>        a property of the own client on the current connection changes: 5 microphone\n"
    "                             muted, 6 sound muted, 38 away (0 no, 1 yes); all are 0 until set\n"
    "  tab <id>                   the client shows connection <id>'s tab (1 at the start); events stay on the\n"
    "                             current connection\n"
    "  hotkey <keyword>           press a hotkey of the plugin (ts3host lists them at start)\n"
    "  channel <channelId>        the own client is in that channel on the current connection (what\n"
    "                             getChannelOfClient answers; every client is in channel 1 until moved)\n"
    "  move <clientId>|own [<visibility>] [to <channelId>]\n"
    "                             a client moves from where it was to <channelId> (default 2) on the current\n"
    "                             connection (visibility 0 entered view, 1 stayed in view, 2 left view;\n"
    "                             default 1)\n"
    "  kick <clientId>|own        a client is kicked from the current connection's server\n"
    "  subscribe <clientId> [<channelId>]\n"
    "                             a client comes into view in <channelId> (default yours) as you subscribe\n"
    "  poke <clientId>|own [ignored]\n"
    "                             a client pokes you; ignored: your friend/foe settings block it\n"
    "  message <targetMode> <clientId>|own [ignored]\n"
    "                             a text message from a client (1 private, 2 channel, 3 server)\n"
    "  (a plugin without the entry point of status, move, kick, subscribe, poke, message, self, tab or\n"
    "  hotkey is not called; ts3host says so. A poke or message the plugin does not return 0 for is\n"
    "  reported on standard error.)\n"
    "  sleep <ms>\n"
    "  shutdown                   shut the plugin down and end the session\n"
    "  echo <text>                print the text\n"
    "\n"
    "Exit status: 0 after shutdown, 1 a folder or copy failed, 2 bad command line or script,\n"
    "3 the library is not a loadable plugin, 4 the plugin's init failed.\n";

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
        || !installPlugin(pluginSource, options.helper, pluginsDir, &libraryPath, &error)) {
        report(error);
        return kExitSetupFailed;
    }
    setConfigPath(folderAnswer(configDir));
    setPluginPath(folderAnswer(pluginsDir));
    setDefaultClientId(options.clientId);

    const std::string libraryName = libraryPath.u8string();
    platform::SharedLibrary library;
    EntryPoints entry;
    if (!loadPlugin(libraryName, options.keepLoaded, &library, &entry, &error)) {
        report(error);
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
