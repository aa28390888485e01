// The facts about the own client beside its talk - microphone and sound
// muted, away, no connection established - kept from the client's events
// on every server connection, and the words that tell them.
#pragma once

#include "command_words.h"
#include "ts3_host_api.h"

#include <map>
#include <optional>
#include <vector>

class ClientFacts
{
public:
    struct Connection {
        int status = STATUS_DISCONNECTED;
        bool micMuted = false;
        bool soundMuted = false;
        bool away = false;
    };
    // What the client knows at init.
    struct Snapshot {
        // Nothing when the client could not list its connections: then
        // "offline" is not said until a connection's status arrives.
        std::optional<std::map<uint64, Connection>> connections;
        uint64 current = 0;  // the server tab shown; 0 for none known
    };

    // Starts afresh from the client's state, as a helper that knows nothing
    // yet sees it: the words of the facts that hold, none for the others.
    std::vector<protocol::CommandWord> start(const Snapshot &snapshot);

    // Each returns the words of the facts that changed, in a fixed order.
    std::vector<protocol::CommandWord> onConnectStatus(uint64 serverConnectionHandlerID, int status);
    // `newValue` as the client sends it: decimal text.
    std::vector<protocol::CommandWord> onSelfVariable(uint64 serverConnectionHandlerID, int flag, const char *newValue);
    std::vector<protocol::CommandWord> onCurrentConnection(uint64 serverConnectionHandlerID);

private:
    // The facts as the device sees them: those of the tab shown, and
    // whether any connection is established.
    struct Shown {
        bool soundMuted = false;
        bool micMuted = false;
        bool away = false;
        bool offline = false;
    };
    std::vector<protocol::CommandWord> settle();

    std::map<uint64, Connection> m_connections;  // none known to be disconnected
    uint64 m_current = 0;
    bool m_statusKnown = false;
    Shown m_shown;
};
