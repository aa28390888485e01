#include "whisper_state.h"

using protocol::CommandWord;

void WhisperState::reset()
{
    m_whisperers.clear();
    m_told = false;
}

std::optional<CommandWord> WhisperState::onTalkStatus(uint64 serverConnectionHandlerID, anyID clientID, int status,
                                                      bool whispered)
{
    // Talking on without a whisper is talking to the channel: the whisper
    // to the user is over.
    if (status == STATUS_TALKING && whispered)
        m_whisperers[serverConnectionHandlerID].insert(clientID);
    else if (status == STATUS_TALKING || status == STATUS_NOT_TALKING)
        return onClientGone(serverConnectionHandlerID, clientID);
    return settle();
}

std::optional<CommandWord> WhisperState::onClientGone(uint64 serverConnectionHandlerID, anyID clientID)
{
    const auto found = m_whisperers.find(serverConnectionHandlerID);
    if (found != m_whisperers.end()) {
        found->second.erase(clientID);
        if (found->second.empty())
            m_whisperers.erase(found);
    }
    return settle();
}

std::optional<CommandWord> WhisperState::onConnectStatus(uint64 serverConnectionHandlerID, int status)
{
    if (status == STATUS_DISCONNECTED)
        m_whisperers.erase(serverConnectionHandlerID);
    return settle();
}

std::optional<CommandWord> WhisperState::settle()
{
    const bool anyone = !m_whisperers.empty();
    if (anyone == m_told)
        return std::nullopt;
    m_told = anyone;
    return anyone ? CommandWord::Whisper : CommandWord::WhisperEnd;
}
