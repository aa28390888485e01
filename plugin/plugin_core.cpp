#include "plugin_core.h"

#include "attention_rules.h"
#include "client_facts.h"
#include "client_query.h"
#include "command_server_name.h"
#include "helper_launcher.h"
#include "hotkeys.h"
#include "log_output.h"
#include "names.h"
#include "own_channels.h"
#include "talk_state.h"
#include "vossik_link.h"
#include "whisper_state.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace plugin {

const char kName[] = "Vossik colorful plugin";
const char kVersion[] = "0.2";
const char kAuthor[] = "Vossik Gaming";
// kDescription: what each system needs, in a file of its own
// (description_windows.cpp, description_linux.cpp).

namespace {

// Room for the longest path either system allows: 32,767 UTF-16 units on
// Windows, up to three UTF-8 bytes each; Linux allows 4,096 bytes.
constexpr size_t kPathBufferSize = 32767 * 3 + 1;
constexpr int kMenuItemSlots = 8;
constexpr int kMenuIconBytes = 128;
constexpr int kColorSettingsItemId = 1;
// How long the client's shutdown may wait for its word to reach a helper
// that is alive or starting.
constexpr int kShutdownDeliveryMs = 1000;

// The host may call entry points on different threads; one at a time
// touches the link and the talk state.
std::mutex g_mutex;
TS3Functions g_functions{};
char *g_pluginID = nullptr;
TalkState g_talkState;
ClientFacts g_facts;
WhisperState g_whispers;
OwnChannels g_channels([](uint64 connection) { return askOwnChannel(g_functions, connection); });
void (*g_wordObserver)(protocol::CommandWord) = nullptr;
bool g_lightsOn = true;  // the user's toggle
// The "PLUGIN: " lines, on the client's standard output, which nobody may
// read: made on first use, dropped at shutdown.
std::unique_ptr<platform::LogSink> g_output;

void say(const char *format, ...)
{
    char text[1024];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    if (!g_output)
        g_output = std::make_unique<platform::LogSink>(platform::StandardStream::Output);
    g_output->line(text);
}

void sendWord(std::optional<protocol::CommandWord> word)
{
    if (!word || !g_link)
        return;
    if (g_wordObserver)
        g_wordObserver(*word);
    g_link->talkStatusChange(*word);
}

void sendWords(const std::vector<protocol::CommandWord> &words)
{
    for (const protocol::CommandWord word : words)
        sendWord(word);
}

// Whether `clientID` is the user's own client on that connection, or
// nothing when the host cannot tell.
std::optional<bool> isOwnClient(uint64 serverConnectionHandlerID, anyID clientID)
{
    anyID ownID = 0;
    const unsigned int error =
        g_functions.getClientID ? g_functions.getClientID(serverConnectionHandlerID, &ownID) : 1u;
    if (error != 0) {
        say("Error getting own client ID: %d", static_cast<int>(error));
        return std::nullopt;
    }
    return clientID == ownID;
}

// A path the host fills in, or nothing when it does not fit the buffer
// (a cut path would name another folder).
template <typename Getter>
std::optional<std::string> hostPath(Getter getter)
{
    std::vector<char> buffer(kPathBufferSize, '\0');
    getter(buffer.data(), buffer.size());
    if (buffer.back() != '\0' || std::strlen(buffer.data()) == buffer.size() - 1)
        return std::nullopt;
    return std::string(buffer.data());
}

void copyText(char *destination, const char *text, size_t size)
{
    std::strncpy(destination, text, size - 1);
    destination[size - 1] = '\0';
}

}  // namespace

void setFunctionPointers(const TS3Functions &functions)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_functions = functions;
}

int init()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    std::optional<std::string> configPath, pluginPath;
    if (g_functions.getConfigPath)
        configPath = hostPath([](char *path, size_t size) { g_functions.getConfigPath(path, size); });
    if (g_functions.getPluginPath) {
        pluginPath = hostPath([](char *path, size_t size) {
#if TS3_PLUGIN_API_VERSION >= 26
            g_functions.getPluginPath(path, size, g_pluginID ? g_pluginID : "");
#else
            g_functions.getPluginPath(path, size);
#endif
        });
    }
    Vossik::Settings settings;
    settings.serverName = platform::commandServerName();
    if (settings.serverName.empty()) {
        // A helper could not listen either: start none.
        say("PLUGIN: %s; the helper is not started", platform::commandServerProblem().c_str());
    } else if (configPath && pluginPath) {
        settings.helperProgram = *pluginPath + protocol::kPluginFolderName + "/" + platform::helperProgramName();
        settings.helperArgument = *configPath;
    } else {
        say("PLUGIN: the client's folders are unknown or too long; the helper is not started");
    }
    g_talkState.reset();
    g_whispers.reset();
    g_lightsOn = true;
    // What holds already (a plugin enabled mid-session), told after "stop".
    const ClientFacts::Snapshot snapshot = askClient(g_functions);
    const std::vector<protocol::CommandWord> facts = g_facts.start(snapshot);
    std::vector<uint64> connections;
    if (snapshot.connections) {
        for (const auto &connection : *snapshot.connections) {
            if (connection.second.status != STATUS_DISCONNECTED)
                connections.push_back(connection.first);
        }
    }
    g_channels.start(connections);
    delete g_link;  // a second init without shutdown: start afresh
    g_link = nullptr;
    try {
        g_link = new Vossik(std::move(settings));
        // Silent until the user speaks: from this word on the helper counts
        // the client among its own and shows its state.
        sendWord(protocol::CommandWord::Stop);
        sendWords(facts);
    } catch (const std::exception &) {
        say("PLUGIN: the link to the helper could not be started");  // no thread: no light, the client goes on
    }
    return 0;
}

void shutdown()
{
    Vossik *link;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        say("PLUGIN: shutdown");
        link = g_link;
        g_link = nullptr;
        std::free(g_pluginID);
        g_pluginID = nullptr;
    }
    // Outside the lock: other host threads return at once meanwhile.
    if (link) {
        link->shutdown(kShutdownDeliveryMs);
        delete link;
    }
    std::lock_guard<std::mutex> lock(g_mutex);
    g_output.reset();
}

void registerPluginID(const char *id)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!id) {  // a host's mistake: the id given before, if any, stays
        say("PLUGIN: registerPluginID without an id; ignored");
        return;
    }
    std::free(g_pluginID);
    const size_t size = std::strlen(id) + 1;
    g_pluginID = static_cast<char *>(std::malloc(size));
    if (!g_pluginID)
        return;
    std::memcpy(g_pluginID, id, size);
    say("PLUGIN: registerPluginID: %s", g_pluginID);
}

void freeMemory(void *data)
{
    std::free(data);
}

void initMenus(PluginMenuItem ***menuItems, char **menuIcon)
{
    auto **items = static_cast<PluginMenuItem **>(std::calloc(kMenuItemSlots, sizeof(PluginMenuItem *)));
    auto *item = static_cast<PluginMenuItem *>(std::calloc(1, sizeof(PluginMenuItem)));
    char *icon = static_cast<char *>(std::calloc(kMenuIconBytes, 1));
    if (!items || !item || !icon) {
        std::free(items);
        std::free(item);
        std::free(icon);
        *menuItems = nullptr;
        *menuIcon = nullptr;
        return;
    }
    item->type = PLUGIN_MENU_TYPE_GLOBAL;
    item->id = kColorSettingsItemId;
    copyText(item->text, "Color settings", PLUGIN_MENU_BUFSZ);
    copyText(item->icon, "1.png", PLUGIN_MENU_BUFSZ);
    items[0] = item;
    items[1] = nullptr;  // ends the list
    copyText(icon, "vossik.png", kMenuIconBytes);
    *menuItems = items;
    *menuIcon = icon;
}

void onMenuItemEvent(uint64 serverConnectionHandlerID, PluginMenuType type, int menuItemID, uint64 selectedItemID)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    say("PLUGIN: onMenuItemEvent: serverConnectionHandlerID=%llu, type=%d, menuItemID=%d, selectedItemID=%llu",
        serverConnectionHandlerID, static_cast<int>(type), menuItemID, selectedItemID);
    if (type == PLUGIN_MENU_TYPE_GLOBAL && menuItemID == kColorSettingsItemId)
        sendWord(protocol::CommandWord::Wnd);
}

void onTalkStatusChangeEvent(uint64 serverConnectionHandlerID, int status, int isReceivedWhisper, anyID clientID)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    const std::optional<bool> own = isOwnClient(serverConnectionHandlerID, clientID);
    if (!own)
        return;
    // A whisperer talks too. The whisper goes on before and off after the
    // voice state, so the helper never shows "others" for a moment between.
    const std::optional<protocol::CommandWord> talk =
        g_talkState.onTalkStatus(serverConnectionHandlerID, clientID, status, *own);
    const std::optional<protocol::CommandWord> whisper =
        *own ? std::nullopt
             : g_whispers.onTalkStatus(serverConnectionHandlerID, clientID, status, isReceivedWhisper != 0);
    const bool whisperStarts = whisper == protocol::CommandWord::Whisper;
    if (whisperStarts)
        sendWord(whisper);
    sendWord(talk);
    if (!whisperStarts)
        sendWord(whisper);
}

void onConnectStatusChangeEvent(uint64 serverConnectionHandlerID, int newStatus, unsigned int errorNumber)
{
    (void)errorNumber;
    std::lock_guard<std::mutex> lock(g_mutex);
    sendWord(g_talkState.onConnectStatus(serverConnectionHandlerID, newStatus));
    sendWords(g_facts.onConnectStatus(serverConnectionHandlerID, newStatus));
    sendWord(g_whispers.onConnectStatus(serverConnectionHandlerID, newStatus));
    g_channels.onConnectStatus(serverConnectionHandlerID, newStatus);
}

void onClientMove(uint64 serverConnectionHandlerID, anyID clientID, uint64 oldChannelID, uint64 newChannelID,
                  int visibility)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    const std::optional<bool> own = isOwnClient(serverConnectionHandlerID, clientID);
    // Not knowing whether it was the user, forget only that client: the
    // connection's end, if that is what follows, forgets the rest.
    sendWord(g_talkState.onClientMove(serverConnectionHandlerID, clientID, own.value_or(false)));
    // A whisper reaches the user wherever the whisperer is, while in view.
    if (!own.value_or(false) && (visibility == LEAVE_VISIBILITY || newChannelID == 0))
        sendWord(g_whispers.onClientGone(serverConnectionHandlerID, clientID));
    sendWord(g_channels.onClientMove(serverConnectionHandlerID, own, oldChannelID, newChannelID));
}

void onClientKick(uint64 serverConnectionHandlerID, anyID clientID, uint64 newChannelID)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    const std::optional<bool> own = isOwnClient(serverConnectionHandlerID, clientID);
    sendWord(g_talkState.onClientMove(serverConnectionHandlerID, clientID, own.value_or(false)));
    if (!own.value_or(false))
        sendWord(g_whispers.onClientGone(serverConnectionHandlerID, clientID));
    g_channels.onClientKick(serverConnectionHandlerID, own, newChannelID);
}

void onClientPoke(uint64 serverConnectionHandlerID, anyID fromClientID, int ffIgnored)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    sendWord(pokeWord(isOwnClient(serverConnectionHandlerID, fromClientID), ffIgnored));
}

void onTextMessage(uint64 serverConnectionHandlerID, anyID targetMode, anyID fromID, int ffIgnored)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    // Most messages are the channel's: the own id is asked only for a
    // private one.
    if (targetMode != TextMessageTarget_CLIENT)
        return;
    sendWord(messageWord(targetMode, isOwnClient(serverConnectionHandlerID, fromID), ffIgnored));
}

void onClientSelfVariableUpdateEvent(uint64 serverConnectionHandlerID, int flag, const char *oldValue,
                                     const char *newValue)
{
    (void)oldValue;
    std::lock_guard<std::mutex> lock(g_mutex);
    sendWords(g_facts.onSelfVariable(serverConnectionHandlerID, flag, newValue));
}

void currentServerConnectionChanged(uint64 serverConnectionHandlerID)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    sendWords(g_facts.onCurrentConnection(serverConnectionHandlerID));
}

void initHotkeys(PluginHotkey ***hotkeyList)
{
    *hotkeyList = hotkeys::make();
}

void onHotkeyEvent(const char *keyword)
{
    if (!keyword)
        return;
    std::lock_guard<std::mutex> lock(g_mutex);
    if (std::strcmp(keyword, hotkeys::kToggleLights) == 0) {
        g_lightsOn = !g_lightsOn;
        sendWord(g_lightsOn ? protocol::CommandWord::LightsOn : protocol::CommandWord::LightsOff);
    } else if (std::strcmp(keyword, hotkeys::kOpenSettings) == 0) {
        sendWord(protocol::CommandWord::Wnd);
    } else if (std::strcmp(keyword, hotkeys::kDismissSignal) == 0) {
        sendWord(protocol::CommandWord::Dismiss);
    }
}

bool ownTalking()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_talkState.ownTalking();
}

int ownTalkCount()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_talkState.ownTalkCount();
}

std::string registeredPluginID()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_pluginID ? g_pluginID : "";
}

void setWordObserver(void (*observer)(protocol::CommandWord word))
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_wordObserver = observer;
}

}  // namespace plugin
