// The voice state the lights show, kept from the client's events on every
// server connection, and the word that tells it.
#pragma once

#include "command_words.h"
#include "ts3_host_api.h"

#include <map>
#include <optional>
#include <set>

class TalkState
{
public:
    // Forgets everything (the plugin is initialised anew, and has sent Stop).
    void reset();

    // Each returns the word of the resulting state when that differs from the
    // state last told, or none. `own` tells whether the event is about the
    // user's own client on that connection.
    std::optional<protocol::CommandWord> onTalkStatus(uint64 serverConnectionHandlerID, anyID clientID, int status,
                                                      bool own);
    std::optional<protocol::CommandWord> onConnectStatus(uint64 serverConnectionHandlerID, int status);
    // A client moved or was kicked: another stops talking to us; when it is
    // the user, the others on that connection are out of earshot.
    std::optional<protocol::CommandWord> onClientMove(uint64 serverConnectionHandlerID, anyID clientID, bool own);

    bool ownTalking() const { return ownTalkCount() != 0; }
    // Connections on which the user is in a talk phase.
    int ownTalkCount() const;

private:
    struct Connection {
        int own = STATUS_NOT_TALKING;
        std::set<anyID> others;
    };
    std::optional<protocol::CommandWord> settle();

    std::map<uint64, Connection> m_connections;  // only those where someone talks
    protocol::CommandWord m_shown = protocol::CommandWord::Stop;
};
