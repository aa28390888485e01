#include "plugin_core.h"

#include "helper_launcher.h"
#include "talk_state.h"
#include "vossik_link.h"

#include <QString>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace plugin {

const char kName[] = "Vossik colorful plugin";
const char kVersion[] = "0.2";
const char kAuthor[] = "Vossik Gaming";
const char kDescription[] =
    "TeamSpeak 3 plugin for Vossik ZELL FX hardware.\n\n"
    "IMPORTANT: install the Vossik ZELL FX driver before you start the plugin!\n\n"
    "Download the driver from:\n"
    "https://www.vossik.com/support/drivers/zell-fx";

namespace {

constexpr size_t kPathBufferSize = 512;
constexpr int kMenuItemSlots = 8;
constexpr int kMenuIconBytes = 128;
constexpr int kColorSettingsItemId = 1;

// The host may call entry points on different threads; one at a time
// touches the link and the talk state.
std::mutex g_mutex;
TS3Functions g_functions{};
char *g_pluginID = nullptr;
TalkState g_talkState;

void sendWord(const char *word)
{
    ensureLink();
    g_link->talkStatusChange(QString::fromLatin1(word));
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
    char configPath[kPathBufferSize] = {};
    char pluginPath[kPathBufferSize] = {};
    if (g_functions.getConfigPath)
        g_functions.getConfigPath(configPath, kPathBufferSize);
    if (g_functions.getPluginPath) {
#if TS3_PLUGIN_API_VERSION >= 26
        g_functions.getPluginPath(pluginPath, kPathBufferSize, g_pluginID ? g_pluginID : "");
#else
        g_functions.getPluginPath(pluginPath, kPathBufferSize);
#endif
    }
    configPath[kPathBufferSize - 1] = pluginPath[kPathBufferSize - 1] = '\0';
    const QString helper = QString::fromUtf8(pluginPath) + QStringLiteral("Vossik_Plugin/") + platform::helperProgramName();
    const QString argument = QString::fromUtf8(configPath);
    g_talkState.reset();
    platform::launchHelper(helper, argument);  // a helper that does not start only costs the light
    return 0;
}

void shutdown()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    std::printf("PLUGIN: shutdown\n");
    sendWord("shutdown");
    delete g_link;
    g_link = nullptr;
    std::free(g_pluginID);
    g_pluginID = nullptr;
}

void registerPluginID(const char *id)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    std::free(g_pluginID);
    const size_t size = std::strlen(id) + 1;
    g_pluginID = static_cast<char *>(std::malloc(size));
    if (!g_pluginID)
        return;
    std::memcpy(g_pluginID, id, size);
    std::printf("PLUGIN: registerPluginID: %s\n", g_pluginID);
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
    std::printf("PLUGIN: onMenuItemEvent: serverConnectionHandlerID=%llu, type=%d, menuItemID=%d, selectedItemID=%llu\n",
                serverConnectionHandlerID, static_cast<int>(type), menuItemID, selectedItemID);
    if (type == PLUGIN_MENU_TYPE_GLOBAL && menuItemID == kColorSettingsItemId)
        sendWord("wnd");
}

void onTalkStatusChangeEvent(uint64 serverConnectionHandlerID, int status, int isReceivedWhisper, anyID clientID)
{
    (void)isReceivedWhisper;
    std::lock_guard<std::mutex> lock(g_mutex);
    ensureLink();
    anyID ownID = 0;
    const unsigned int error =
        g_functions.getClientID ? g_functions.getClientID(serverConnectionHandlerID, &ownID) : 1u;
    if (error != 0) {
        std::printf("Error getting own client ID: %d\n", static_cast<int>(error));
        return;
    }
    if (const char *word = g_talkState.onTalkStatus(serverConnectionHandlerID, status, clientID == ownID))
        g_link->talkStatusChange(QString::fromLatin1(word));
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

}  // namespace plugin
