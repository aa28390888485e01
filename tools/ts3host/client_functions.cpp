#include "client_functions.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <utility>

namespace ts3host {

namespace {

// The plugin may call in from threads of its own.
std::mutex stateMutex;
std::string configPath;
std::string pluginPath;
anyID defaultClientId = 1;
std::map<uint64, anyID> ownIds;
std::map<uint64, unsigned int> clientIdErrors;
std::set<uint64> connections{1};
std::map<uint64, int> statuses;  // those set; others are established
uint64 currentConnection = 1;
std::map<std::pair<uint64, int>, int> selfVariables;
std::map<std::pair<uint64, anyID>, uint64> channels;  // those set; others are in channel 1

uint64 channelOf(uint64 connection, anyID client)
{
    const auto found = channels.find({connection, client});
    return found != channels.end() ? found->second : 1;
}

unsigned int freeMemory(void *pointer)
{
    std::free(pointer);
    return 0;
}

void copyOut(const std::string &text, char *buffer, size_t maxLen)
{
    if (!buffer || maxLen == 0)
        return;
    const size_t length = std::min(text.size(), maxLen - 1);
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
}

unsigned int getClientID(uint64 connection, anyID *result)
{
    std::lock_guard<std::mutex> lock(stateMutex);
    const auto error = clientIdErrors.find(connection);
    if (error != clientIdErrors.end())
        return error->second;
    if (!result)
        return 1;
    const auto own = ownIds.find(connection);
    *result = own != ownIds.end() ? own->second : defaultClientId;
    return 0;
}

unsigned int getClientSelfVariableAsInt(uint64 connection, size_t flag, int *result)
{
    std::lock_guard<std::mutex> lock(stateMutex);
    if (!result)
        return 1;
    const auto found = selfVariables.find({connection, static_cast<int>(flag)});
    *result = found != selfVariables.end() ? found->second : 0;
    return 0;
}

unsigned int getServerConnectionHandlerList(uint64 **result)
{
    std::lock_guard<std::mutex> lock(stateMutex);
    if (!result)
        return 1;
    // The plugin frees it with freeMemory, so with this host's allocator.
    *result = static_cast<uint64 *>(std::calloc(connections.size() + 1, sizeof(uint64)));
    if (!*result)
        return 1;
    // 0 would end the list: a script's "connection 0" is no tab.
    std::copy_if(connections.begin(), connections.end(), *result, [](uint64 id) { return id != 0; });
    return 0;
}

unsigned int getConnectionStatus(uint64 connection, int *result)
{
    std::lock_guard<std::mutex> lock(stateMutex);
    if (!result)
        return 1;
    const auto found = statuses.find(connection);
    *result = found != statuses.end() ? found->second : STATUS_CONNECTION_ESTABLISHED;
    return 0;
}

unsigned int getChannelOfClient(uint64 connection, anyID client, uint64 *result)
{
    std::lock_guard<std::mutex> lock(stateMutex);
    if (!result)
        return 1;
    *result = channelOf(connection, client);
    return 0;
}

uint64 getCurrentServerConnectionHandlerID()
{
    std::lock_guard<std::mutex> lock(stateMutex);
    return currentConnection;
}

void getConfigPath(char *path, size_t maxLen)
{
    std::lock_guard<std::mutex> lock(stateMutex);
    copyOut(configPath, path, maxLen);
}

#if TS3_PLUGIN_API_VERSION >= 26
void getPluginPath(char *path, size_t maxLen, const char *)
#else
void getPluginPath(char *path, size_t maxLen)
#endif
{
    std::lock_guard<std::mutex> lock(stateMutex);
    copyOut(pluginPath, path, maxLen);
}

// Taking no parameters and returning an error code is safe whatever the
// plugin believes the signature to be: the caller cleans up its arguments.
template <size_t Index>
unsigned int missingFunction()
{
    static std::atomic<bool> reported{false};
    if (!reported.exchange(true))
        std::fprintf(stderr, "ts3host: plugin called client function #%zu, which this host does not provide\n", Index);
    return 1;
}

template <size_t... Index>
std::array<TS3UnusedFunction, sizeof...(Index)> makeMissingFunctions(std::index_sequence<Index...>)
{
    // void (*)(void) is the one function pointer type any other converts to
    // without a cast-function-type warning.
    return {{reinterpret_cast<TS3UnusedFunction>(&missingFunction<Index>)...}};
}

}  // namespace

TS3Functions clientFunctions()
{
    static const auto missing = makeMissingFunctions(std::make_index_sequence<TS3_FUNCTION_COUNT>());
    // The table is nothing but pointers, slot by slot (ts3_host_api.h
    // checks that): the stubs first, then the functions provided.
    static_assert(sizeof(TS3Functions) == sizeof missing, "one stub per slot");
    TS3Functions functions;
    std::memcpy(&functions, missing.data(), sizeof functions);
    functions.freeMemory = &freeMemory;
    functions.getClientID = &getClientID;
    functions.getClientSelfVariableAsInt = &getClientSelfVariableAsInt;
    functions.getChannelOfClient = &getChannelOfClient;
    functions.getServerConnectionHandlerList = &getServerConnectionHandlerList;
    functions.getConnectionStatus = &getConnectionStatus;
    functions.getConfigPath = &getConfigPath;
    functions.getPluginPath = &getPluginPath;
    functions.getCurrentServerConnectionHandlerID = &getCurrentServerConnectionHandlerID;
    return functions;
}

void setConfigPath(const std::string &path)
{
    std::lock_guard<std::mutex> lock(stateMutex);
    configPath = path;
}

void setPluginPath(const std::string &path)
{
    std::lock_guard<std::mutex> lock(stateMutex);
    pluginPath = path;
}

void setDefaultClientId(anyID id)
{
    std::lock_guard<std::mutex> lock(stateMutex);
    defaultClientId = id;
}

void setOwnClientId(uint64 connection, anyID id)
{
    std::lock_guard<std::mutex> lock(stateMutex);
    ownIds[connection] = id;
}

anyID ownClientId(uint64 connection)
{
    std::lock_guard<std::mutex> lock(stateMutex);
    const auto own = ownIds.find(connection);
    return own != ownIds.end() ? own->second : defaultClientId;
}

void setClientIdError(uint64 connection, unsigned int errorCode)
{
    std::lock_guard<std::mutex> lock(stateMutex);
    if (errorCode == 0)
        clientIdErrors.erase(connection);
    else
        clientIdErrors[connection] = errorCode;
}

void useConnection(uint64 connection)
{
    std::lock_guard<std::mutex> lock(stateMutex);
    connections.insert(connection);
}

void setConnectionStatus(uint64 connection, int status)
{
    std::lock_guard<std::mutex> lock(stateMutex);
    connections.insert(connection);
    statuses[connection] = status;
}

void setCurrentConnection(uint64 connection)
{
    std::lock_guard<std::mutex> lock(stateMutex);
    connections.insert(connection);
    currentConnection = connection;
}

int setSelfVariable(uint64 connection, int flag, int value)
{
    std::lock_guard<std::mutex> lock(stateMutex);
    connections.insert(connection);
    int &stored = selfVariables[{connection, flag}];
    const int before = stored;
    stored = value;
    return before;
}

uint64 clientChannel(uint64 connection, anyID client)
{
    std::lock_guard<std::mutex> lock(stateMutex);
    return channelOf(connection, client);
}

void setClientChannel(uint64 connection, anyID client, uint64 channel)
{
    std::lock_guard<std::mutex> lock(stateMutex);
    channels[{connection, client}] = channel;
}

}  // namespace ts3host
