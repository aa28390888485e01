// The voice state the lights show, kept from the client's events on every
// server connection, and the word that tells it.
#pragma once

#include "command_word.h"
#include "ts3_host_api.h"

#include <map>
#include <optional>
#include <set>

class TalkState
{
public:
    // Forgets everything (the plugin is initialised anew, and has sent "stop").
    void reset();

    // Each returns the word of the resulting state when that differs from the
    // state last told, or none. `own` tells whether the event is about the
    // user's own client on that connection.
    std::optional<CommandWord> onTalkStatus(uint64 serverConnectionHandlerID, anyID clientID, int status, bool own);
    std::optional<CommandWord> onConnectStatus(uint64 serverConnectionHandlerID, int status);
    // A client moved or was kicked: another stops talking to us; when it is
    // the user, the others on that connection are out of earshot.
    std::optional<CommandWord> onClientMove(uint64 serverConnectionHandlerID, anyID clientID, bool own);

    bool ownTalking() const { return ownTalkCount() != 0; }
    // Connections on which the user is in a talk phase.
    int ownTalkCount() const;

private:
    struct Connection {
        int own = STATUS_NOT_TALKING;
        std::set<anyID> others;
    };
    std::optional<CommandWord> settle();

    std::map<uint64, Connection> m_connections;  // only those where someone talks
    CommandWord m_shown = CommandWord::Stop;
};
