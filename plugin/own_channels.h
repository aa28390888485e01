// The channel the user is in on every server connection, kept from the own
// client's moves and asked of the client where unknown, and the joins of
// other clients into it.
#pragma once

#include "command_words.h"
#include "ts3_host_api.h"

#include <functional>
#include <map>
#include <optional>
#include <vector>

class OwnChannels
{
public:
    // Asks the client which channel the user is in on a connection;
    // nothing (or 0) when it cannot tell.
    using Ask = std::function<std::optional<uint64>(uint64 serverConnectionHandlerID)>;
    explicit OwnChannels(Ask ask) : m_ask(std::move(ask)) {}

    // Forgets every channel and asks for those of the connections the
    // client has (at init).
    void start(const std::vector<uint64> &connections);
    // A connection that ends forgets its channel; one that comes up asks.
    void onConnectStatus(uint64 serverConnectionHandlerID, int status);
    // A move, moved or timeout event: Join when another client enters the
    // user's channel. `own`: whether the mover is the user, nothing when
    // the client could not tell (then the channel is asked again later).
    std::optional<protocol::CommandWord> onClientMove(uint64 serverConnectionHandlerID, std::optional<bool> own,
                                                      uint64 oldChannelID, uint64 newChannelID);
    // A kick moves the user too, but brings nobody in.
    void onClientKick(uint64 serverConnectionHandlerID, std::optional<bool> own, uint64 newChannelID);

private:
    // The user's channel, asked of the client when unknown; 0 when it
    // cannot tell.
    uint64 channel(uint64 serverConnectionHandlerID);
    void moved(uint64 serverConnectionHandlerID, std::optional<bool> own, uint64 newChannelID);

    Ask m_ask;
    std::map<uint64, uint64> m_channels;  // only those known
};
