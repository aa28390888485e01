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

#ifdef __cplusplus
}  // extern "C"
#endif

// The host looks these up by name; the list keeps host and tests in step.
#define TS3_PLUGIN_ENTRY_POINTS(X)                                                                                  \
    X(ts3plugin_name) X(ts3plugin_version) X(ts3plugin_apiVersion) X(ts3plugin_author) X(ts3plugin_description)      \
    X(ts3plugin_setFunctionPointers) X(ts3plugin_init) X(ts3plugin_shutdown) X(ts3plugin_registerPluginID)           \
    X(ts3plugin_freeMemory) X(ts3plugin_initMenus) X(ts3plugin_onMenuItemEvent) X(ts3plugin_onTalkStatusChangeEvent)
