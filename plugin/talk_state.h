// Which command word a talk-status event becomes.
#pragma once

#include "command_word.h"
#include "ts3_host_api.h"

#include <optional>
#include <set>

class TalkState
{
public:
    // Forgets every talk phase (the plugin is initialised anew).
    void reset();

    // The word to send for one event, or none when it changes nothing.
    // `own` tells whether the event is about the user's own client.
    std::optional<CommandWord> onTalkStatus(uint64 serverConnectionHandlerID, int status, bool own);

    bool ownTalking() const { return m_ownTalking; }
    // Connections on which the user is in a talk phase: 0 exactly when the
    // user is silent everywhere, and never below 0, however the client
    // orders or repeats its events.
    int ownTalkCount() const { return static_cast<int>(m_talkingOn.size()); }

private:
    bool m_ownTalking = false;
    std::set<uint64> m_talkingOn;
};
