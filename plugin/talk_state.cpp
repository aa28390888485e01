#include "talk_state.h"

void TalkState::reset()
{
    m_ownTalking = false;
    m_talkingOn.clear();
}

std::optional<CommandWord> TalkState::onTalkStatus(uint64 serverConnectionHandlerID, int status, bool own)
{
    if (own) {
        switch (status) {
        case STATUS_TALKING:
            m_ownTalking = true;
            m_talkingOn.insert(serverConnectionHandlerID);
            return CommandWord::Start;
        case STATUS_TALKING_WHILE_DISABLED:
            m_ownTalking = true;
            m_talkingOn.insert(serverConnectionHandlerID);
            return CommandWord::Mute;
        case STATUS_NOT_TALKING:
            m_ownTalking = false;
            m_talkingOn.erase(serverConnectionHandlerID);
            return CommandWord::Stop;
        default:
            return std::nullopt;
        }
    }
    if (ownTalkCount() != 0 || m_ownTalking)
        return std::nullopt;
    if (status == STATUS_TALKING)
        return CommandWord::StartOther;
    if (status == STATUS_NOT_TALKING)
        return CommandWord::Stop;
    return std::nullopt;
}
