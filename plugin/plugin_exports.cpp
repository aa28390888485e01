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
