#include "talk_state.h"

void TalkState::reset()
{
    m_ownTalking = false;
    m_talkingOn.clear();
}

const char *TalkState::onTalkStatus(uint64 serverConnectionHandlerID, int status, bool own)
{
    if (own) {
        switch (status) {
        case STATUS_TALKING:
            m_ownTalking = true;
            m_talkingOn.insert(serverConnectionHandlerID);
            return "start";
        case STATUS_TALKING_WHILE_DISABLED:
            m_ownTalking = true;
            m_talkingOn.insert(serverConnectionHandlerID);
            return "mute";
        case STATUS_NOT_TALKING:
            m_ownTalking = false;
            m_talkingOn.erase(serverConnectionHandlerID);
            return "stop";
        default:
            return nullptr;
        }
    }
    if (ownTalkCount() != 0 || m_ownTalking)
        return nullptr;
    if (status == STATUS_TALKING)
        return "startother";
    if (status == STATUS_NOT_TALKING)
        return "stop";
    return nullptr;
}
