#include "client_functions.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
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
    TS3Functions functions{};
    size_t index = 0;
    for (TS3UnusedFunction &slot : functions.before_getClientID)
        slot = missing[index++];
    functions.getClientID = &getClientID;
    ++index;
    for (TS3UnusedFunction &slot : functions.before_getConfigPath)
        slot = missing[index++];
    functions.getConfigPath = &getConfigPath;
    functions.getPluginPath = &getPluginPath;
    index += 2;
    for (TS3UnusedFunction &slot : functions.after_getPluginPath)
        slot = missing[index++];
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

}  // namespace ts3host
