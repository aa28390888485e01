#include "client_query.h"

namespace {

bool selfFlag(const TS3Functions &functions, uint64 connection, int flag)
{
    int value = 0;
    return functions.getClientSelfVariableAsInt(connection, static_cast<size_t>(flag), &value) == 0 && value != 0;
}

}  // namespace

ClientFacts::Snapshot askClient(const TS3Functions &functions)
{
    ClientFacts::Snapshot snapshot;
    if (functions.getCurrentServerConnectionHandlerID)
        snapshot.current = functions.getCurrentServerConnectionHandlerID();
    uint64 *list = nullptr;
    if (!functions.getServerConnectionHandlerList || !functions.getConnectionStatus
        || functions.getServerConnectionHandlerList(&list) != 0 || !list)
        return snapshot;
    snapshot.connections.emplace();
    for (const uint64 *id = list; *id != 0; ++id) {
        ClientFacts::Connection connection;
        if (functions.getConnectionStatus(*id, &connection.status) != 0)
            connection.status = STATUS_DISCONNECTED;
        if (connection.status != STATUS_DISCONNECTED && functions.getClientSelfVariableAsInt) {
            connection.micMuted = selfFlag(functions, *id, CLIENT_INPUT_MUTED);
            connection.soundMuted = selfFlag(functions, *id, CLIENT_OUTPUT_MUTED);
            connection.away = selfFlag(functions, *id, CLIENT_AWAY);
        }
        (*snapshot.connections)[*id] = connection;
    }
    // The list is the client's memory: only its own function may free it.
    if (functions.freeMemory)
        functions.freeMemory(list);
    return snapshot;
}

std::optional<uint64> askOwnChannel(const TS3Functions &functions, uint64 serverConnectionHandlerID)
{
    anyID own = 0;
    uint64 channel = 0;
    if (!functions.getClientID || !functions.getChannelOfClient
        || functions.getClientID(serverConnectionHandlerID, &own) != 0
        || functions.getChannelOfClient(serverConnectionHandlerID, own, &channel) != 0)
        return std::nullopt;
    return channel;
}
