// The client side of the plugin interface: the function table handed to the
// plugin, and what its few real functions answer. The table's functions
// cannot carry context, so their answers live in process-wide state, set
// by the host between entry point calls.
#pragma once

#include "ts3_host_api.h"

#include <string>

namespace ts3host {

// Every slot filled: the functions the plugin uses, and for the rest a stub
// that fails with a nonzero error code and says once which slot was called.
TS3Functions clientFunctions();

// Answers of getConfigPath and getPluginPath: UTF-8, ending in a separator.
void setConfigPath(const std::string &path);
void setPluginPath(const std::string &path);

// getClientID: the own client's id on a connection (defaultId until set for
// that connection), or a nonzero error code the script asked for.
void setDefaultClientId(anyID id);
void setOwnClientId(uint64 connection, anyID id);
anyID ownClientId(uint64 connection);
void setClientIdError(uint64 connection, unsigned int errorCode);

// The client's connections: getServerConnectionHandlerList lists every one
// used so far (1 from the start), getConnectionStatus answers the status
// last set (established until set), getCurrentServerConnectionHandlerID
// the tab shown (1 until set), getClientSelfVariableAsInt the own client's
// flags (0 until set).
void useConnection(uint64 connection);
void setConnectionStatus(uint64 connection, int status);
void setCurrentConnection(uint64 connection);
// Returns the flag's value before.
int setSelfVariable(uint64 connection, int flag, int value);

// getChannelOfClient: the channel of a client on a connection, as the
// script last put it there (1 until then); 0 for one that left the server.
uint64 clientChannel(uint64 connection, anyID client);
void setClientChannel(uint64 connection, anyID client, uint64 channel);

}  // namespace ts3host
