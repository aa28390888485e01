// The frames of TeamSpeak's Remote Apps interface (a JSON object per text
// frame, {"type":…,"payload":{…}}): the events the helper uses, read into
// plain structs, and the one request it sends. Pure: no sockets.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

namespace remote_apps {

// Who the helper is to TeamSpeak. The user's permission is tied to these,
// so they never change, whatever the product's version.
constexpr char kIdentifier[] = "vossik.colorful.lights";
constexpr char kVersion[] = "1.0.0";
constexpr char kName[] = "Vossik colorful plugin";
constexpr char kDescription[] = "Lights your gaming device by your voice chat";

constexpr std::uint16_t kDefaultPort = 5899;

// Connection status (connectStatusChanged and connections[].status).
constexpr int kDisconnected = 0;
constexpr int kEstablished = 4;
// Talk status: 2 is talking with the microphone muted (own client only).
constexpr int kNotTalking = 0;
constexpr int kTalking = 1;
constexpr int kTalkingMuted = 2;
// textMessage targetMode.
constexpr int kPrivateMessage = 1;
constexpr int kPoke = 4;
// clientMoved type 0: the client came into view by a subscription.
constexpr int kSubscriptionMove = 0;

// A client's properties that matter here; each only when the frame has it.
struct Properties {
    std::optional<bool> inputMuted, outputMuted, away, inputHardware, flagTalking;
};

struct ClientInfo {
    std::int64_t id = 0;
    std::optional<std::int64_t> channelId;
    Properties properties;
};

struct ConnectionInfo {
    std::int64_t id = 0;
    std::optional<std::int64_t> clientId;  // the user's own client there
    int status = kDisconnected;
    std::vector<ClientInfo> clients;
};

// The answer to "auth": code 0 grants, any other refuses.
struct AuthAnswer {
    int statusCode = 0;
    QString apiKey;
    std::vector<ConnectionInfo> connections;
};

struct TalkStatus {
    std::int64_t connectionId = 0, clientId = 0;
    int status = kNotTalking;
    bool whisper = false;  // the voice reaches the user as a whisper
};

// A property of the user's own client on a connection.
struct SelfProperty {
    std::int64_t connectionId = 0;
    QString flag;
    std::optional<bool> value;
};

struct ClientProperties {
    std::int64_t connectionId = 0, clientId = 0;
    Properties properties;
};

struct ClientMoved {
    std::int64_t connectionId = 0, clientId = 0;
    std::int64_t oldChannelId = 0, newChannelId = 0;  // 0: out of view
    int type = kSubscriptionMove;
    int visibility = 1;  // 0 enters, 1 stays, 2 leaves the view
};

struct ConnectStatus {
    std::int64_t connectionId = 0;
    int status = kDisconnected;
    std::optional<std::int64_t> clientId;  // info.clientId, once connected
};

struct TextMessage {
    std::int64_t connectionId = 0;
    std::optional<std::int64_t> invokerId;
    int targetMode = 0;
};

using Event =
    std::variant<AuthAnswer, TalkStatus, SelfProperty, ClientProperties, ClientMoved, ConnectStatus, TextMessage>;

// The event one text frame holds; nothing for frames of other types, or
// without the fields that make the event. Ids may be numbers or decimal
// text, flags JSON booleans or numbers; other fields are ignored.
std::optional<Event> parseFrame(const QByteArray &utf8);

// The "auth" request with the helper's identity and `apiKey` (empty when
// the user has not allowed it yet).
QByteArray authRequest(const QString &apiKey);

}  // namespace remote_apps
