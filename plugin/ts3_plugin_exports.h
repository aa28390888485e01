// The plugin's exported entry points, as the client looks them up by name.
#pragma once

#include "ts3_host_api.h"

#ifdef __cplusplus
extern "C" {
#endif

TS3_PLUGIN_EXPORT const char *ts3plugin_name(void);
TS3_PLUGIN_EXPORT const char *ts3plugin_version(void);
TS3_PLUGIN_EXPORT int ts3plugin_apiVersion(void);
TS3_PLUGIN_EXPORT const char *ts3plugin_author(void);
TS3_PLUGIN_EXPORT const char *ts3plugin_description(void);
TS3_PLUGIN_EXPORT void ts3plugin_setFunctionPointers(const struct TS3Functions funcs);
TS3_PLUGIN_EXPORT int ts3plugin_init(void);
TS3_PLUGIN_EXPORT void ts3plugin_shutdown(void);
TS3_PLUGIN_EXPORT void ts3plugin_registerPluginID(const char *id);
TS3_PLUGIN_EXPORT void ts3plugin_freeMemory(void *data);
TS3_PLUGIN_EXPORT void ts3plugin_initMenus(struct PluginMenuItem ***menuItems, char **menuIcon);
TS3_PLUGIN_EXPORT void ts3plugin_onMenuItemEvent(uint64 serverConnectionHandlerID, enum PluginMenuType type,
                                                 int menuItemID, uint64 selectedItemID);
TS3_PLUGIN_EXPORT void ts3plugin_onTalkStatusChangeEvent(uint64 serverConnectionHandlerID, int status,
                                                         int isReceivedWhisper, anyID clientID);
TS3_PLUGIN_EXPORT void ts3plugin_onConnectStatusChangeEvent(uint64 serverConnectionHandlerID, int newStatus,
                                                            unsigned int errorNumber);
TS3_PLUGIN_EXPORT void ts3plugin_onClientMoveEvent(uint64 serverConnectionHandlerID, anyID clientID,
                                                   uint64 oldChannelID, uint64 newChannelID, int visibility,
                                                   const char *moveMessage);
TS3_PLUGIN_EXPORT void ts3plugin_onClientMoveTimeoutEvent(uint64 serverConnectionHandlerID, anyID clientID,
                                                          uint64 oldChannelID, uint64 newChannelID, int visibility,
                                                          const char *timeoutMessage);
TS3_PLUGIN_EXPORT void ts3plugin_onClientMoveMovedEvent(uint64 serverConnectionHandlerID, anyID clientID,
                                                        uint64 oldChannelID, uint64 newChannelID, int visibility,
                                                        anyID moverID, const char *moverName,
                                                        const char *moverUniqueIdentifier, const char *moveMessage);
TS3_PLUGIN_EXPORT void ts3plugin_onClientKickFromChannelEvent(uint64 serverConnectionHandlerID, anyID clientID,
                                                              uint64 oldChannelID, uint64 newChannelID, int visibility,
                                                              anyID kickerID, const char *kickerName,
                                                              const char *kickerUniqueIdentifier,
                                                              const char *kickMessage);
TS3_PLUGIN_EXPORT void ts3plugin_onClientKickFromServerEvent(uint64 serverConnectionHandlerID, anyID clientID,
                                                             uint64 oldChannelID, uint64 newChannelID, int visibility,
                                                             anyID kickerID, const char *kickerName,
                                                             const char *kickerUniqueIdentifier,
                                                             const char *kickMessage);
TS3_PLUGIN_EXPORT void ts3plugin_onClientMoveSubscriptionEvent(uint64 serverConnectionHandlerID, anyID clientID,
                                                               uint64 oldChannelID, uint64 newChannelID,
                                                               int visibility);
// Both return 0: the client then handles the poke or message as usual.
TS3_PLUGIN_EXPORT int ts3plugin_onClientPokeEvent(uint64 serverConnectionHandlerID, anyID fromClientID,
                                                  const char *pokerName, const char *pokerUniqueIdentity,
                                                  const char *message, int ffIgnored);
TS3_PLUGIN_EXPORT int ts3plugin_onTextMessageEvent(uint64 serverConnectionHandlerID, anyID targetMode, anyID toID,
                                                   anyID fromID, const char *fromName, const char *fromUniqueIdentifier,
                                                   const char *message, int ffIgnored);
TS3_PLUGIN_EXPORT void ts3plugin_onClientSelfVariableUpdateEvent(uint64 serverConnectionHandlerID, int flag,
                                                                 const char *oldValue, const char *newValue);
TS3_PLUGIN_EXPORT void ts3plugin_currentServerConnectionChanged(uint64 serverConnectionHandlerID);
TS3_PLUGIN_EXPORT void ts3plugin_initHotkeys(struct PluginHotkey ***hotkeys);
TS3_PLUGIN_EXPORT void ts3plugin_onHotkeyEvent(const char *keyword);

#ifdef __cplusplus
}  // extern "C"
#endif

// The host looks these up by name; the lists keep host and tests in step.
// A plugin lacks none of the first list. Those of the second it may
// leave out, as builds of this plugin before them do; the client then sends
// none of them.
// clang-format off
#define TS3_PLUGIN_ENTRY_POINTS(X) \
    X(ts3plugin_name) \
    X(ts3plugin_version) \
    X(ts3plugin_apiVersion) \
    X(ts3plugin_author) \
    X(ts3plugin_description) \
    X(ts3plugin_setFunctionPointers) \
    X(ts3plugin_init) \
    X(ts3plugin_shutdown) \
    X(ts3plugin_registerPluginID) \
    X(ts3plugin_freeMemory) \
    X(ts3plugin_initMenus) \
    X(ts3plugin_onMenuItemEvent) \
    X(ts3plugin_onTalkStatusChangeEvent)
#define TS3_PLUGIN_OPTIONAL_ENTRY_POINTS(X) \
    X(ts3plugin_onConnectStatusChangeEvent) \
    X(ts3plugin_onClientMoveEvent) \
    X(ts3plugin_onClientMoveTimeoutEvent) \
    X(ts3plugin_onClientMoveMovedEvent) \
    X(ts3plugin_onClientKickFromChannelEvent) \
    X(ts3plugin_onClientKickFromServerEvent) \
    X(ts3plugin_onClientSelfVariableUpdateEvent) \
    X(ts3plugin_currentServerConnectionChanged) \
    X(ts3plugin_initHotkeys) \
    X(ts3plugin_onHotkeyEvent) \
    X(ts3plugin_onClientMoveSubscriptionEvent) \
    X(ts3plugin_onClientPokeEvent) \
    X(ts3plugin_onTextMessageEvent)
// clang-format on
