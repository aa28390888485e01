#include "remote_apps_state.h"

#include <algorithm>

#include <type_traits>

using protocol::CommandWord;

namespace remote_apps {

Words UserState::start(const AuthAnswer &answer)
{
    m_told = Told();  // as the helper sees a new client: silent, unmuted, present, connected
    load(answer);
    Words words = settle();
    words.insert(words.begin(), CommandWord::Stop);
    return words;
}

Words UserState::onEvent(const Event &event)
{
    return std::visit(
        [this](const auto &e) {
            if constexpr (std::is_void_v<decltype(on(e))>) {
                on(e);
                return settle();
            } else {
                const std::optional<CommandWord> moment = on(e);
                return settle(moment ? Words{*moment} : Words{});
            }
        },
        event);
}

void UserState::load(const AuthAnswer &answer)
{
    m_connections.clear();
    for (const ConnectionInfo &info : answer.connections) {
        if (info.status == kDisconnected)
            continue;
        Connection &connection = m_connections[info.id];
        connection.status = info.status;
        connection.own = info.clientId;
        for (const ClientInfo &client : info.clients) {
            if (isOwn(connection, client.id)) {
                if (client.channelId && *client.channelId != 0)
                    connection.channel = client.channelId;
                setProperties(connection, client.properties);
                connection.ownTalk = client.properties.flagTalking.value_or(false) ? kTalking : kNotTalking;
            } else if (client.properties.flagTalking.value_or(false)) {
                connection.talkers.insert(client.id);
            }
        }
    }
}

UserState::Connection *UserState::find(std::int64_t connectionId)
{
    const auto found = m_connections.find(connectionId);
    return found == m_connections.end() ? nullptr : &found->second;
}

void UserState::setProperties(Connection &connection, const Properties &properties)
{
    connection.micMuted = properties.inputMuted.value_or(connection.micMuted);
    connection.soundMuted = properties.outputMuted.value_or(connection.soundMuted);
    connection.away = properties.away.value_or(connection.away);
    connection.inputHardware = properties.inputHardware.value_or(connection.inputHardware);
}

void UserState::on(const TalkStatus &talk)
{
    Connection *connection = find(talk.connectionId);
    if (!connection)
        return;
    if (isOwn(*connection, talk.clientId)) {
        if (talk.status == kNotTalking || talk.status == kTalking || talk.status == kTalkingMuted)
            connection->ownTalk = talk.status;
    } else if (talk.status == kTalking) {
        // A whisperer talks too; talking on without a whisper ends the whisper.
        connection->talkers.insert(talk.clientId);
        if (talk.whisper)
            connection->whisperers.insert(talk.clientId);
        else
            connection->whisperers.erase(talk.clientId);
    } else if (talk.status == kNotTalking) {
        connection->talkers.erase(talk.clientId);
        connection->whisperers.erase(talk.clientId);
    }
}

void UserState::on(const SelfProperty &property)
{
    Connection *connection = find(property.connectionId);
    if (!connection || !property.value)
        return;
    const bool value = *property.value;
    if (property.flag == QLatin1String("flagTalking")) {
        // Half of a pair with the talk status, in either order: it never
        // undoes a muted talk that the status told.
        if (!value)
            connection->ownTalk = kNotTalking;
        else if (connection->ownTalk == kNotTalking)
            connection->ownTalk = kTalking;
        return;
    }
    Properties properties;
    if (property.flag == QLatin1String("inputMuted"))
        properties.inputMuted = value;
    else if (property.flag == QLatin1String("outputMuted"))
        properties.outputMuted = value;
    else if (property.flag == QLatin1String("away"))
        properties.away = value;
    else if (property.flag == QLatin1String("inputHardware"))
        properties.inputHardware = value;
    setProperties(*connection, properties);
}

void UserState::on(const ClientProperties &properties)
{
    Connection *connection = find(properties.connectionId);
    // Another client's talk comes by its talk status alone.
    if (connection && isOwn(*connection, properties.clientId))
        setProperties(*connection, properties.properties);
}

std::optional<CommandWord> UserState::on(const ClientMoved &move)
{
    Connection *connection = find(move.connectionId);
    if (!connection)
        return std::nullopt;
    if (isOwn(*connection, move.clientId)) {
        // The others where the user was are out of earshot.
        connection->talkers.clear();
        connection->channel = move.newChannelId != 0 ? std::optional<std::int64_t>(move.newChannelId) : std::nullopt;
        return std::nullopt;
    }
    connection->talkers.erase(move.clientId);
    // A whisper reaches the user wherever the whisperer is, while in view.
    if (move.newChannelId == 0 || move.visibility == 2)
        connection->whisperers.erase(move.clientId);
    // A subscription only shows who was there already.
    const bool joins = connection->channel && move.newChannelId == *connection->channel
                       && move.oldChannelId != move.newChannelId && move.type != kSubscriptionMove;
    return joins ? std::optional<CommandWord>(CommandWord::Join) : std::nullopt;
}

void UserState::on(const ConnectStatus &status)
{
    if (status.status == kDisconnected) {
        m_connections.erase(status.connectionId);
        return;
    }
    Connection &connection = m_connections[status.connectionId];
    connection.status = status.status;
    if (status.clientId && connection.own != status.clientId) {
        // A reconnection may give the user another id: what was known of
        // the old one is gone.
        connection.own = status.clientId;
        connection.channel.reset();
        connection.ownTalk = kNotTalking;
    }
}

std::optional<CommandWord> UserState::on(const TextMessage &message)
{
    if (message.targetMode != kPrivateMessage && message.targetMode != kPoke)
        return std::nullopt;
    const Connection *connection = find(message.connectionId);
    if (connection && message.invokerId && isOwn(*connection, *message.invokerId))
        return std::nullopt;
    return message.targetMode == kPoke ? CommandWord::Poke : CommandWord::Message;
}

Words UserState::settle(Words moments)
{
    Told now;
    bool heard = false, muted = false, others = false, established = false;
    const Connection *microphone = nullptr;
    for (const auto &entry : m_connections) {
        const Connection &c = entry.second;
        heard = heard || c.ownTalk == kTalking;
        muted = muted || c.ownTalk == kTalkingMuted;
        others = others || !c.talkers.empty();
        now.whispered = now.whispered || !c.whisperers.empty();
        established = established || c.status == kEstablished;
        // The microphone's connection, else the first.
        if (!microphone || (c.inputHardware && !microphone->inputHardware))
            microphone = &c;
    }
    // Heard anywhere outweighs muted elsewhere, as in the plugin.
    now.talk = heard    ? CommandWord::Start
               : muted  ? CommandWord::Mute
               : others ? CommandWord::StartOther
                        : CommandWord::Stop;
    if (microphone) {
        now.soundMuted = microphone->soundMuted;
        now.micMuted = microphone->micMuted;
        now.away = microphone->away;
    }
    now.offline = !established;

    Words words;
    const auto tell = [&words](bool was, bool is, CommandWord yes, CommandWord no) {
        if (was != is)
            words.push_back(is ? yes : no);
    };
    // The whisper goes on before and off after the voice state, so the
    // light never shows "others" for a moment between.
    if (now.whispered && !m_told.whispered)
        words.push_back(CommandWord::Whisper);
    if (now.talk != m_told.talk)
        words.push_back(now.talk);
    if (!now.whispered && m_told.whispered)
        words.push_back(CommandWord::WhisperEnd);
    tell(m_told.soundMuted, now.soundMuted, CommandWord::SoundMuted, CommandWord::SoundUnmuted);
    tell(m_told.micMuted, now.micMuted, CommandWord::MicMuted, CommandWord::MicUnmuted);
    tell(m_told.away, now.away, CommandWord::Away, CommandWord::Back);
    tell(m_told.offline, now.offline, CommandWord::Offline, CommandWord::Online);
    m_told = now;
    words.insert(words.end(), moments.begin(), moments.end());
    return words;
}

int UserState::establishedConnections() const
{
    return int(std::count_if(m_connections.begin(), m_connections.end(),
                             [](const auto &entry) { return entry.second.status == kEstablished; }));
}

}  // namespace remote_apps
