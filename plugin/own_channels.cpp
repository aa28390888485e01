#include "own_channels.h"

#include "attention_rules.h"

using protocol::CommandWord;

void OwnChannels::start(const std::vector<uint64> &connections)
{
    m_channels.clear();
    for (const uint64 connection : connections)
        channel(connection);
}

void OwnChannels::onConnectStatus(uint64 serverConnectionHandlerID, int status)
{
    if (status == STATUS_DISCONNECTED)
        m_channels.erase(serverConnectionHandlerID);
    else if (status == STATUS_CONNECTION_ESTABLISHED)
        channel(serverConnectionHandlerID);
}

std::optional<CommandWord> OwnChannels::onClientMove(uint64 serverConnectionHandlerID, std::optional<bool> own,
                                                     uint64 oldChannelID, uint64 newChannelID)
{
    if (own.value_or(true)) {
        moved(serverConnectionHandlerID, own, newChannelID);
        return std::nullopt;
    }
    if (isJoin(channel(serverConnectionHandlerID), oldChannelID, newChannelID))
        return CommandWord::Join;
    return std::nullopt;
}

void OwnChannels::onClientKick(uint64 serverConnectionHandlerID, std::optional<bool> own, uint64 newChannelID)
{
    if (own.value_or(true))
        moved(serverConnectionHandlerID, own, newChannelID);
}

void OwnChannels::moved(uint64 serverConnectionHandlerID, std::optional<bool> own, uint64 newChannelID)
{
    // Not knowing who moved, the user may have: ask again when it matters.
    // Channel 0 is the user leaving the server.
    if (own && newChannelID != 0)
        m_channels[serverConnectionHandlerID] = newChannelID;
    else
        m_channels.erase(serverConnectionHandlerID);
}

uint64 OwnChannels::channel(uint64 serverConnectionHandlerID)
{
    const auto known = m_channels.find(serverConnectionHandlerID);
    if (known != m_channels.end())
        return known->second;
    const std::optional<uint64> asked = m_ask ? m_ask(serverConnectionHandlerID) : std::nullopt;
    if (!asked || *asked == 0)
        return 0;
    m_channels[serverConnectionHandlerID] = *asked;
    return *asked;
}
