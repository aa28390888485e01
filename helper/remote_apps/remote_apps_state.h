// What TeamSpeak's Remote Apps events say of the user, per server
// connection, turned into the words the plugin sends for TeamSpeak 3, each
// when what it tells changes: the voice state (start, mute, startother,
// stop), whisper and whisperend, the facts (sound, microphone, away,
// offline) and the moments (poke, message, join). Pure.
#pragma once

#include "command_words.h"
#include "remote_apps_messages.h"

#include <map>
#include <set>
#include <vector>

namespace remote_apps {

using Words = std::vector<protocol::CommandWord>;

class UserState
{
public:
    // A new client of the helper from a granted "auth": "stop" (the word
    // that makes it one), then the words of what the snapshot holds.
    Words start(const AuthAnswer &answer);
    // The words an event changes.
    Words onEvent(const Event &event);
    // The server connections of the client that are fully established.
    int establishedConnections() const;

private:
    struct Connection {
        std::optional<std::int64_t> own;      // the user's client id
        std::optional<std::int64_t> channel;  // the user's channel
        int status = kDisconnected;
        int ownTalk = kNotTalking;
        std::set<std::int64_t> talkers, whisperers;
        bool micMuted = false, soundMuted = false, away = false, inputHardware = false;
    };
    // What the helper has been told.
    struct Told {
        protocol::CommandWord talk = protocol::CommandWord::Stop;
        bool whispered = false, soundMuted = false, micMuted = false, away = false, offline = false;
    };

    void load(const AuthAnswer &answer);
    Words settle(Words moments = {});
    Connection *find(std::int64_t connectionId);
    static bool isOwn(const Connection &connection, std::int64_t clientId)
    {
        return connection.own && *connection.own == clientId;
    }
    static void setProperties(Connection &connection, const Properties &properties);

    void on(const AuthAnswer &answer) { load(answer); }
    void on(const TalkStatus &talk);
    void on(const SelfProperty &property);
    void on(const ClientProperties &properties);
    std::optional<protocol::CommandWord> on(const ClientMoved &move);
    void on(const ConnectStatus &status);
    std::optional<protocol::CommandWord> on(const TextMessage &message);

    std::map<std::int64_t, Connection> m_connections;  // none known to be disconnected; by id, the first first
    Told m_told;
};

}  // namespace remote_apps
