// The plugin's behaviour, as plain C++ that the exported entry points
// forward to and tests call directly. Every function may be called on any
// host thread; they never run at the same time.
#pragma once

#include "command_words.h"
#include "ts3_host_api.h"

#include <string>

namespace plugin {

extern const char kName[];
extern const char kVersion[];
extern const char kAuthor[];
extern const char kDescription[];

void setFunctionPointers(const TS3Functions &functions);
int init();
void shutdown();
void registerPluginID(const char *id);
void freeMemory(void *data);
void initMenus(PluginMenuItem ***menuItems, char **menuIcon);
void onMenuItemEvent(uint64 serverConnectionHandlerID, PluginMenuType type, int menuItemID, uint64 selectedItemID);
void onTalkStatusChangeEvent(uint64 serverConnectionHandlerID, int status, int isReceivedWhisper, anyID clientID);
void onConnectStatusChangeEvent(uint64 serverConnectionHandlerID, int newStatus, unsigned int errorNumber);
// The move, moved and timeout events.
void onClientMove(uint64 serverConnectionHandlerID, anyID clientID, uint64 oldChannelID, uint64 newChannelID,
                  int visibility);
// Both kick events: the kicked client lands in `newChannelID` (0: off the
// server), but joins nobody.
void onClientKick(uint64 serverConnectionHandlerID, anyID clientID, uint64 newChannelID);
// The client handles every poke and message as usual whatever these do.
void onClientPoke(uint64 serverConnectionHandlerID, anyID fromClientID, int ffIgnored);
void onTextMessage(uint64 serverConnectionHandlerID, anyID targetMode, anyID fromID, int ffIgnored);
void onClientSelfVariableUpdateEvent(uint64 serverConnectionHandlerID, int flag, const char *oldValue,
                                     const char *newValue);
void currentServerConnectionChanged(uint64 serverConnectionHandlerID);
void initHotkeys(PluginHotkey ***hotkeys);
void onHotkeyEvent(const char *keyword);

// For tests: what the talk state holds now, and the id the host gave.
bool ownTalking();
int ownTalkCount();
std::string registeredPluginID();
// For tests: sees every word the entry points hand to the link, on the
// calling thread (null for none).
void setWordObserver(void (*observer)(protocol::CommandWord word));

}  // namespace plugin
