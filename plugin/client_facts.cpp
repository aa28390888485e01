#include "client_facts.h"

#include <cerrno>
#include <cstdlib>

using protocol::CommandWord;

std::vector<CommandWord> ClientFacts::start(const Snapshot &snapshot)
{
    m_connections.clear();
    m_statusKnown = snapshot.connections.has_value();
    if (snapshot.connections) {
        for (const auto &connection : *snapshot.connections) {
            if (connection.second.status != STATUS_DISCONNECTED)
                m_connections.insert(connection);
        }
    }
    m_current = snapshot.current;
    m_shown = Shown();  // a helper assumes nothing muted, nobody away, online
    return settle();
}

std::vector<CommandWord> ClientFacts::onConnectStatus(uint64 serverConnectionHandlerID, int status)
{
    m_statusKnown = true;
    if (status == STATUS_DISCONNECTED)
        m_connections.erase(serverConnectionHandlerID);
    else
        m_connections[serverConnectionHandlerID].status = status;
    return settle();
}

std::vector<CommandWord> ClientFacts::onSelfVariable(uint64 serverConnectionHandlerID, int flag, const char *newValue)
{
    if (flag != CLIENT_INPUT_MUTED && flag != CLIENT_OUTPUT_MUTED && flag != CLIENT_AWAY)
        return {};
    if (!newValue || !*newValue)
        return {};
    char *end = nullptr;
    errno = 0;
    const long value = std::strtol(newValue, &end, 10);
    if (*end != '\0' || errno != 0)
        return {};  // not a number: nothing learnt
    Connection &connection = m_connections[serverConnectionHandlerID];
    bool &fact = flag == CLIENT_INPUT_MUTED    ? connection.micMuted
                 : flag == CLIENT_OUTPUT_MUTED ? connection.soundMuted
                                               : connection.away;
    fact = value != 0;
    return settle();
}

std::vector<CommandWord> ClientFacts::onCurrentConnection(uint64 serverConnectionHandlerID)
{
    m_current = serverConnectionHandlerID;
    return settle();
}

std::vector<CommandWord> ClientFacts::settle()
{
    Shown now;
    const auto current = m_connections.find(m_current);
    if (current != m_connections.end()) {
        now.soundMuted = current->second.soundMuted;
        now.micMuted = current->second.micMuted;
        now.away = current->second.away;
    }
    bool established = false;
    for (const auto &connection : m_connections)
        established = established || connection.second.status == STATUS_CONNECTION_ESTABLISHED;
    now.offline = m_statusKnown && !established;

    std::vector<CommandWord> words;
    const auto tell = [&words](bool was, bool is, CommandWord yes, CommandWord no) {
        if (was != is)
            words.push_back(is ? yes : no);
    };
    tell(m_shown.soundMuted, now.soundMuted, CommandWord::SoundMuted, CommandWord::SoundUnmuted);
    tell(m_shown.micMuted, now.micMuted, CommandWord::MicMuted, CommandWord::MicUnmuted);
    tell(m_shown.away, now.away, CommandWord::Away, CommandWord::Back);
    tell(m_shown.offline, now.offline, CommandWord::Offline, CommandWord::Online);
    m_shown = now;
    return words;
}
