#include "talk_state.h"

using protocol::CommandWord;

void TalkState::reset()
{
    m_connections.clear();
    m_shown = CommandWord::Stop;
}

int TalkState::ownTalkCount() const
{
    int count = 0;
    for (const auto &connection : m_connections)
        count += connection.second.own != STATUS_NOT_TALKING;
    return count;
}

std::optional<CommandWord> TalkState::onTalkStatus(uint64 serverConnectionHandlerID, anyID clientID, int status,
                                                   bool own)
{
    Connection &connection = m_connections[serverConnectionHandlerID];
    if (own && (status == STATUS_NOT_TALKING || status == STATUS_TALKING || status == STATUS_TALKING_WHILE_DISABLED))
        connection.own = status;
    else if (!own && status == STATUS_TALKING)
        connection.others.insert(clientID);
    else if (!own && status == STATUS_NOT_TALKING)
        connection.others.erase(clientID);
    return settle();
}

std::optional<CommandWord> TalkState::onConnectStatus(uint64 serverConnectionHandlerID, int status)
{
    if (status == STATUS_DISCONNECTED)
        m_connections.erase(serverConnectionHandlerID);
    return settle();
}

std::optional<CommandWord> TalkState::onClientMove(uint64 serverConnectionHandlerID, anyID clientID, bool own)
{
    const auto found = m_connections.find(serverConnectionHandlerID);
    if (found != m_connections.end()) {
        if (own)
            found->second.others.clear();
        else
            found->second.others.erase(clientID);
    }
    return settle();
}

std::optional<CommandWord> TalkState::settle()
{
    bool heard = false, muted = false, others = false;
    for (auto it = m_connections.begin(); it != m_connections.end();) {
        heard = heard || it->second.own == STATUS_TALKING;
        muted = muted || it->second.own == STATUS_TALKING_WHILE_DISABLED;
        others = others || !it->second.others.empty();
        if (it->second.own == STATUS_NOT_TALKING && it->second.others.empty())
            it = m_connections.erase(it);
        else
            ++it;
    }
    // Heard anywhere outweighs muted elsewhere: the muted signal warns only
    // when nobody hears the user at all.
    const CommandWord word = heard    ? CommandWord::Start
                             : muted  ? CommandWord::Mute
                             : others ? CommandWord::StartOther
                                      : CommandWord::Stop;
    if (word == m_shown)
        return std::nullopt;
    m_shown = word;
    return word;
}
