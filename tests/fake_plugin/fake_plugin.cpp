// A plugin that records every call it gets, one line each, in the file that
// FAKE_PLUGIN_LOG names, so tests can see what the host did and in what order.
#include "ts3_plugin_exports.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>

#ifndef FAKE_PLUGIN_API
#define FAKE_PLUGIN_API TS3_PLUGIN_API_VERSION
#endif

namespace {

TS3Functions functions;
std::set<void *> blocks;  // handed to the host and not freed yet

void record(const char *format, ...)
{
    const char *path = std::getenv("FAKE_PLUGIN_LOG");
    FILE *file = path ? std::fopen(path, "a") : nullptr;
    if (!file)
        return;
    va_list args;
    va_start(args, format);
    std::vfprintf(file, format, args);
    va_end(args);
    std::fputc('\n', file);
    std::fclose(file);
}

void *allocate(size_t size)
{
    void *block = std::calloc(1, size);
    blocks.insert(block);
    return block;
}

PluginMenuItem *menuItem(int id, const char *text, const char *icon)
{
    auto *item = static_cast<PluginMenuItem *>(allocate(sizeof(PluginMenuItem)));
    item->type = PLUGIN_MENU_TYPE_GLOBAL;
    item->id = id;
    std::strcpy(item->text, text);
    std::strcpy(item->icon, icon);
    return item;
}

}  // namespace

const char *ts3plugin_name(void) { return record("name"), "Fake"; }
const char *ts3plugin_version(void) { return record("version"), "1.0"; }
const char *ts3plugin_author(void) { return record("author"), "Tester"; }
const char *ts3plugin_description(void) { return record("description"), "Records calls"; }
int ts3plugin_apiVersion(void) { return record("apiVersion"), FAKE_PLUGIN_API; }

void ts3plugin_setFunctionPointers(const struct TS3Functions funcs)
{
    functions = funcs;
    record("setFunctionPointers");
}

int ts3plugin_init(void)
{
    char config[512];
    char plugin[512];
    char tiny[4];
    functions.getConfigPath(config, sizeof config);
    functions.getConfigPath(tiny, sizeof tiny);
#if TS3_PLUGIN_API_VERSION >= 26
    functions.getPluginPath(plugin, sizeof plugin, "fake");
#else
    functions.getPluginPath(plugin, sizeof plugin);
#endif
    // Slots 74 and 183, which the host does not provide; it says so once each.
    using Missing = unsigned int (*)(uint64);
    const auto before = reinterpret_cast<Missing>(functions.before_getConfigPath[0]);
    const auto after = reinterpret_cast<Missing>(functions.after_getPluginPath[0]);
    before(1);
    record("init config=%s plugin=%s tiny=%s missing=%u,%u", config, plugin, tiny, before(1), after(1));
    return 0;
}

void ts3plugin_shutdown(void) { record("shutdown outstanding=%zu", blocks.size()); }
void ts3plugin_registerPluginID(const char *id) { record("registerPluginID %s", id); }

void ts3plugin_freeMemory(void *data)
{
    const bool ours = blocks.erase(data) == 1;
    record(ours ? "freeMemory" : "freeMemory of an unknown block");
    if (ours)
        std::free(data);
}

void ts3plugin_initMenus(struct PluginMenuItem ***menuItems, char **menuIcon)
{
    auto **items = static_cast<PluginMenuItem **>(allocate(3 * sizeof(PluginMenuItem *)));
    items[0] = menuItem(1, "First", "one.png");
    items[1] = menuItem(2, "Second", "two.png");
    *menuItems = items;
    *menuIcon = static_cast<char *>(allocate(16));
    std::strcpy(*menuIcon, "fake.png");
    record("initMenus");
}

#ifndef FAKE_PLUGIN_MISSING_ENTRY
void ts3plugin_onMenuItemEvent(uint64 serverConnectionHandlerID, enum PluginMenuType type, int menuItemID,
                               uint64 selectedItemID)
{
    record("menu %llu %d %d %llu", serverConnectionHandlerID, static_cast<int>(type), menuItemID, selectedItemID);
}
#endif

void ts3plugin_onTalkStatusChangeEvent(uint64 serverConnectionHandlerID, int status, int isReceivedWhisper,
                                       anyID clientID)
{
    anyID own = 0;
    const unsigned int error = functions.getClientID(serverConnectionHandlerID, &own);
    record("talk %llu %d %d %u own=%u error=%u", serverConnectionHandlerID, status, isReceivedWhisper, clientID, own,
           error);
}

// Of the events a plugin may lack, those ts3host plays.
void ts3plugin_onConnectStatusChangeEvent(uint64 serverConnectionHandlerID, int newStatus, unsigned int errorNumber)
{
    record("status %llu %d %u", serverConnectionHandlerID, newStatus, errorNumber);
}

void ts3plugin_onClientMoveEvent(uint64 serverConnectionHandlerID, anyID clientID, uint64 oldChannelID,
                                 uint64 newChannelID, int visibility, const char *moveMessage)
{
    record("move %llu %u %llu %llu %d '%s'", serverConnectionHandlerID, clientID, oldChannelID, newChannelID,
           visibility, moveMessage);
}

void ts3plugin_onClientKickFromServerEvent(uint64 serverConnectionHandlerID, anyID clientID, uint64 oldChannelID,
                                           uint64 newChannelID, int visibility, anyID kickerID, const char *kickerName,
                                           const char *kickerUniqueIdentifier, const char *kickMessage)
{
    record("kick %llu %u %llu %llu %d %u '%s' '%s' '%s'", serverConnectionHandlerID, clientID, oldChannelID,
           newChannelID, visibility, kickerID, kickerName, kickerUniqueIdentifier, kickMessage);
}
