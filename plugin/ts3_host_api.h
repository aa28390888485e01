// What the plugin needs of the voice client's plugin interface, laid out
// exactly as the client passes it. Plugin API 19 by default; build with
// TS3_PLUGIN_API_VERSION=26 for current clients.
#pragma once

#include <stddef.h>

#ifndef TS3_PLUGIN_API_VERSION
#define TS3_PLUGIN_API_VERSION 19
#endif

#if defined(_WIN32)
#define TS3_PLUGIN_EXPORT __declspec(dllexport)
#else
#define TS3_PLUGIN_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef unsigned short anyID;
typedef unsigned long long uint64;

enum PluginMenuType { PLUGIN_MENU_TYPE_GLOBAL = 0, PLUGIN_MENU_TYPE_CHANNEL, PLUGIN_MENU_TYPE_CLIENT };

enum TalkStatus { STATUS_NOT_TALKING = 0, STATUS_TALKING = 1, STATUS_TALKING_WHILE_DISABLED = 2 };

enum ConnectStatus {
    STATUS_DISCONNECTED = 0,
    STATUS_CONNECTING,
    STATUS_CONNECTED,
    STATUS_CONNECTION_ESTABLISHING,
    STATUS_CONNECTION_ESTABLISHED
};

#define PLUGIN_MENU_BUFSZ 128

struct PluginMenuItem {
    enum PluginMenuType type;
    int id;
    char text[PLUGIN_MENU_BUFSZ];
    char icon[PLUGIN_MENU_BUFSZ];
};

// A client function the plugin never calls; only its slot in the table counts.
typedef void (*TS3UnusedFunction)(void);

#if TS3_PLUGIN_API_VERSION == 19
#define TS3_FUNCTION_COUNT 209
#elif TS3_PLUGIN_API_VERSION == 26
#define TS3_FUNCTION_COUNT 230
#else
#error "supported plugin API versions: 19 and 26"
#endif

#define TS3_FREE_MEMORY_INDEX 5
#define TS3_GET_CLIENT_ID_INDEX 73
#define TS3_GET_CLIENT_SELF_VARIABLE_AS_INT_INDEX 74
#define TS3_GET_CHANNEL_OF_CLIENT_INDEX 83
#define TS3_GET_SERVER_CONNECTION_HANDLER_LIST_INDEX 96
#define TS3_GET_CONNECTION_STATUS_INDEX 101
#define TS3_GET_CONFIG_PATH_INDEX 181
#define TS3_GET_PLUGIN_PATH_INDEX 182
#define TS3_GET_CURRENT_SERVER_CONNECTION_HANDLER_ID_INDEX 183

// Properties of the own client the plugin reads; muted and away are 0 or 1.
enum ClientSelfFlag {
    CLIENT_INPUT_MUTED = 5,
    CLIENT_OUTPUT_MUTED = 6,
    CLIENT_INPUT_DEACTIVATED = 10,
    CLIENT_AWAY = 38
};

// Who a text message is for (ts3plugin_onTextMessageEvent's targetMode).
enum TextMessageTargetMode {
    TextMessageTarget_CLIENT = 1,  // a private message
    TextMessageTarget_CHANNEL = 2,
    TextMessageTarget_SERVER = 3
};

// How a move event changes what the user sees of the moving client.
enum Visibility { ENTER_VISIBILITY = 0, RETAIN_VISIBILITY = 1, LEAVE_VISIBILITY = 2 };

#define PLUGIN_HOTKEY_BUFSZ 128

struct PluginHotkey {
    char keyword[PLUGIN_HOTKEY_BUFSZ];
    char description[PLUGIN_HOTKEY_BUFSZ];
};

struct TS3Functions {
    TS3UnusedFunction before_freeMemory[TS3_FREE_MEMORY_INDEX];
    unsigned int (*freeMemory)(void *pointer);
    TS3UnusedFunction before_getClientID[TS3_GET_CLIENT_ID_INDEX - TS3_FREE_MEMORY_INDEX - 1];
    unsigned int (*getClientID)(uint64 serverConnectionHandlerID, anyID *result);
    unsigned int (*getClientSelfVariableAsInt)(uint64 serverConnectionHandlerID, size_t flag, int *result);
    TS3UnusedFunction
        before_getChannelOfClient[TS3_GET_CHANNEL_OF_CLIENT_INDEX - TS3_GET_CLIENT_SELF_VARIABLE_AS_INT_INDEX - 1];
    // With the own id from getClientID: the channel the user is in.
    unsigned int (*getChannelOfClient)(uint64 serverConnectionHandlerID, anyID clientID, uint64 *result);
    TS3UnusedFunction before_getServerConnectionHandlerList[TS3_GET_SERVER_CONNECTION_HANDLER_LIST_INDEX
                                                            - TS3_GET_CHANNEL_OF_CLIENT_INDEX - 1];
    // A 0-terminated array, freed with freeMemory.
    unsigned int (*getServerConnectionHandlerList)(uint64 **result);
    TS3UnusedFunction
        before_getConnectionStatus[TS3_GET_CONNECTION_STATUS_INDEX - TS3_GET_SERVER_CONNECTION_HANDLER_LIST_INDEX - 1];
    unsigned int (*getConnectionStatus)(uint64 serverConnectionHandlerID, int *result);
    TS3UnusedFunction before_getConfigPath[TS3_GET_CONFIG_PATH_INDEX - TS3_GET_CONNECTION_STATUS_INDEX - 1];
    void (*getConfigPath)(char *path, size_t maxLen);
#if TS3_PLUGIN_API_VERSION >= 26
    void (*getPluginPath)(char *path, size_t maxLen, const char *pluginID);
#else
    void (*getPluginPath)(char *path, size_t maxLen);
#endif
    // The server tab the client shows.
    uint64 (*getCurrentServerConnectionHandlerID)(void);
    TS3UnusedFunction after_getCurrentServerConnectionHandlerID[TS3_FUNCTION_COUNT
                                                                - TS3_GET_CURRENT_SERVER_CONNECTION_HANDLER_ID_INDEX
                                                                - 1];
};

#ifdef __cplusplus
}  // extern "C"

static_assert(sizeof(anyID) == 2, "anyID is 16 bits");
static_assert(sizeof(uint64) == 8, "uint64 is 64 bits");
static_assert(sizeof(enum PluginMenuType) == 4, "menu type is a C enum");
static_assert(STATUS_DISCONNECTED == 0 && STATUS_CONNECTION_ESTABLISHED == 4, "connection status values");
static_assert(offsetof(PluginMenuItem, id) == 4, "menu item layout");
static_assert(offsetof(PluginMenuItem, text) == 8, "menu item layout");
static_assert(offsetof(PluginMenuItem, icon) == 136, "menu item layout");
static_assert(sizeof(PluginMenuItem) == 264, "menu item layout");
static_assert(sizeof(TS3Functions) == TS3_FUNCTION_COUNT * sizeof(void *), "client function table size");
static_assert(offsetof(PluginHotkey, description) == 128 && sizeof(PluginHotkey) == 256, "hotkey layout");
static_assert(offsetof(TS3Functions, freeMemory) == TS3_FREE_MEMORY_INDEX * sizeof(void *), "freeMemory slot");
static_assert(offsetof(TS3Functions, getClientID) == TS3_GET_CLIENT_ID_INDEX * sizeof(void *), "getClientID slot");
static_assert(offsetof(TS3Functions, getClientSelfVariableAsInt)
                  == TS3_GET_CLIENT_SELF_VARIABLE_AS_INT_INDEX * sizeof(void *),
              "getClientSelfVariableAsInt slot");
static_assert(offsetof(TS3Functions, getChannelOfClient) == TS3_GET_CHANNEL_OF_CLIENT_INDEX * sizeof(void *),
              "getChannelOfClient slot");
static_assert(offsetof(TS3Functions, getServerConnectionHandlerList)
                  == TS3_GET_SERVER_CONNECTION_HANDLER_LIST_INDEX * sizeof(void *),
              "getServerConnectionHandlerList slot");
static_assert(offsetof(TS3Functions, getConnectionStatus) == TS3_GET_CONNECTION_STATUS_INDEX * sizeof(void *),
              "getConnectionStatus slot");
static_assert(offsetof(TS3Functions, getConfigPath) == TS3_GET_CONFIG_PATH_INDEX * sizeof(void *),
              "getConfigPath slot");
static_assert(offsetof(TS3Functions, getPluginPath) == TS3_GET_PLUGIN_PATH_INDEX * sizeof(void *),
              "getPluginPath slot");
static_assert(offsetof(TS3Functions, getCurrentServerConnectionHandlerID)
                  == TS3_GET_CURRENT_SERVER_CONNECTION_HANDLER_ID_INDEX * sizeof(void *),
              "getCurrentServerConnectionHandlerID slot");
static_assert(sizeof(void *) != 8 || sizeof(TS3Functions) == (TS3_PLUGIN_API_VERSION == 19 ? 1672 : 1840),
              "client function table size on 64-bit systems");
#endif
