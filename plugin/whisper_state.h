// Who whispers to the user on every server connection, and the word that
// tells whether anyone does.
#pragma once

#include "command_words.h"
#include "ts3_host_api.h"

#include <map>
#include <optional>
#include <set>

class WhisperState
{
public:
    // Forgets everyone (the plugin is initialised anew; the helper then
    // knows of no whisper either).
    void reset();

    // Each returns Whisper when someone starts whispering to a user whom
    // nobody whispered to, WhisperEnd when the last one stops, or none.
    // A talk status of another client; `whispered`: the voice reaches the
    // user as a whisper.
    std::optional<protocol::CommandWord> onTalkStatus(uint64 serverConnectionHandlerID, anyID clientID, int status,
                                                      bool whispered);
    // Another client left the user's view or was kicked.
    std::optional<protocol::CommandWord> onClientGone(uint64 serverConnectionHandlerID, anyID clientID);
    std::optional<protocol::CommandWord> onConnectStatus(uint64 serverConnectionHandlerID, int status);

private:
    std::optional<protocol::CommandWord> settle();

    std::map<uint64, std::set<anyID>> m_whisperers;  // only connections where someone whispers
    bool m_told = false;                             // Whisper was the last word
};
