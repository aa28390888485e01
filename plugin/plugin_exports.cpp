// The exported C entry points: each only forwards to the plugin's C++ side.
#include "plugin_core.h"
#include "ts3_plugin_exports.h"

const char *ts3plugin_name(void)
{
    return plugin::kName;
}

const char *ts3plugin_version(void)
{
    return plugin::kVersion;
}

int ts3plugin_apiVersion(void)
{
    return TS3_PLUGIN_API_VERSION;
}

const char *ts3plugin_author(void)
{
    return plugin::kAuthor;
}

const char *ts3plugin_description(void)
{
    return plugin::kDescription;
}

void ts3plugin_setFunctionPointers(const struct TS3Functions funcs)
{
    plugin::setFunctionPointers(funcs);
}

int ts3plugin_init(void)
{
    return plugin::init();
}

void ts3plugin_shutdown(void)
{
    plugin::shutdown();
}

void ts3plugin_registerPluginID(const char *id)
{
    plugin::registerPluginID(id);
}

void ts3plugin_freeMemory(void *data)
{
    plugin::freeMemory(data);
}

void ts3plugin_initMenus(struct PluginMenuItem ***menuItems, char **menuIcon)
{
    plugin::initMenus(menuItems, menuIcon);
}

void ts3plugin_onMenuItemEvent(uint64 serverConnectionHandlerID, enum PluginMenuType type, int menuItemID,
                               uint64 selectedItemID)
{
    plugin::onMenuItemEvent(serverConnectionHandlerID, type, menuItemID, selectedItemID);
}

void ts3plugin_onTalkStatusChangeEvent(uint64 serverConnectionHandlerID, int status, int isReceivedWhisper,
                                       anyID clientID)
{
    plugin::onTalkStatusChangeEvent(serverConnectionHandlerID, status, isReceivedWhisper, clientID);
}

void ts3plugin_onConnectStatusChangeEvent(uint64 serverConnectionHandlerID, int newStatus, unsigned int errorNumber)
{
    plugin::onConnectStatusChangeEvent(serverConnectionHandlerID, newStatus, errorNumber);
}

void ts3plugin_onClientMoveEvent(uint64 serverConnectionHandlerID, anyID clientID, uint64 oldChannelID,
                                 uint64 newChannelID, int visibility, const char *)
{
    plugin::onClientMove(serverConnectionHandlerID, clientID, oldChannelID, newChannelID, visibility);
}

void ts3plugin_onClientMoveTimeoutEvent(uint64 serverConnectionHandlerID, anyID clientID, uint64 oldChannelID,
                                        uint64 newChannelID, int visibility, const char *)
{
    plugin::onClientMove(serverConnectionHandlerID, clientID, oldChannelID, newChannelID, visibility);
}

void ts3plugin_onClientMoveMovedEvent(uint64 serverConnectionHandlerID, anyID clientID, uint64 oldChannelID,
                                      uint64 newChannelID, int visibility, anyID, const char *, const char *,
                                      const char *)
{
    plugin::onClientMove(serverConnectionHandlerID, clientID, oldChannelID, newChannelID, visibility);
}

void ts3plugin_onClientKickFromChannelEvent(uint64 serverConnectionHandlerID, anyID clientID, uint64,
                                            uint64 newChannelID, int, anyID, const char *, const char *, const char *)
{
    plugin::onClientKick(serverConnectionHandlerID, clientID, newChannelID);
}

void ts3plugin_onClientKickFromServerEvent(uint64 serverConnectionHandlerID, anyID clientID, uint64,
                                           uint64 newChannelID, int, anyID, const char *, const char *, const char *)
{
    plugin::onClientKick(serverConnectionHandlerID, clientID, newChannelID);
}

// Those who come into view because the user connected, subscribed or
// switched channel did not join: nothing to tell.
void ts3plugin_onClientMoveSubscriptionEvent(uint64, anyID, uint64, uint64, int) {}

int ts3plugin_onClientPokeEvent(uint64 serverConnectionHandlerID, anyID fromClientID, const char *, const char *,
                                const char *, int ffIgnored)
{
    plugin::onClientPoke(serverConnectionHandlerID, fromClientID, ffIgnored);
    return 0;  // 1 would make the client drop the poke
}

int ts3plugin_onTextMessageEvent(uint64 serverConnectionHandlerID, anyID targetMode, anyID, anyID fromID, const char *,
                                 const char *, const char *, int ffIgnored)
{
    plugin::onTextMessage(serverConnectionHandlerID, targetMode, fromID, ffIgnored);
    return 0;  // 1 would make the client drop the message
}

void ts3plugin_onClientSelfVariableUpdateEvent(uint64 serverConnectionHandlerID, int flag, const char *oldValue,
                                               const char *newValue)
{
    plugin::onClientSelfVariableUpdateEvent(serverConnectionHandlerID, flag, oldValue, newValue);
}

void ts3plugin_currentServerConnectionChanged(uint64 serverConnectionHandlerID)
{
    plugin::currentServerConnectionChanged(serverConnectionHandlerID);
}

void ts3plugin_initHotkeys(struct PluginHotkey ***hotkeys)
{
    plugin::initHotkeys(hotkeys);
}

void ts3plugin_onHotkeyEvent(const char *keyword)
{
    plugin::onHotkeyEvent(keyword);
}
