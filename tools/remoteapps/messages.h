// The messages the stand-in Remote Apps server sends, as the voice client
// writes them: one compact JSON object per text frame. Pure functions, so
// that each shape can be checked on its own.
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

namespace remoteapps {

// Ids go out as JSON numbers, or every id as a string when `stringIds`.
QJsonValue idValue(int id, bool stringIds);

// The properties a client starts with: not muted, not away, not talking.
QJsonObject defaultProperties(const QString &nickname);
// Yours at first: "Me", the defaults, and holding the microphone.
QJsonObject startingOwnProperties();

// What the first answer tells of the one server connection.
struct Snapshot {
    int connectionId = 1;
    int ownClientId = 1;
    int otherClientId = 7;
    int connectionStatus = 4;  // established
    int clients = 2;           // you, the other user, then made-up ones
    QJsonObject ownProperties = startingOwnProperties();
    bool stringIds = false;
};

// The answer to "auth" that allows: status 0, the key, every connection.
QByteArray authAllowed(const QString &apiKey, const Snapshot &snapshot);
// The answer that refuses: a status code other than 0, no key.
QByteArray authRefused(int statusCode);

QByteArray talkStatusChanged(int connectionId, int clientId, int status, bool whisper, bool stringIds);
QByteArray clientSelfPropertyUpdated(int connectionId, const QString &flag, const QJsonValue &oldValue,
                                     const QJsonValue &newValue, bool stringIds);
QByteArray clientPropertiesUpdated(int connectionId, int clientId, const QJsonObject &properties, bool stringIds);
// Channel ids are strings here whatever `stringIds` says; "0" is outside
// the view. `type` 2 (moved by someone) names the invoker; a client that
// comes into view brings its properties.
QByteArray clientMoved(int connectionId, int clientId, int oldChannelId, int newChannelId, int type, int visibility,
                       int invokerId, bool stringIds);
// `info` null while disconnected or connecting, else carrying your id.
QByteArray connectStatusChanged(int connectionId, int status, int ownClientId, bool stringIds);
// Target mode 1 private, 2 channel, 3 server, 4 poke (empty message).
QByteArray textMessage(int connectionId, int invokerId, int targetMode, const QString &message, int targetId,
                       bool stringIds);
// Events the app has no use for, which it must pass over.
QByteArray logEvent(const QString &message);
QByteArray groupInfo(int connectionId, bool stringIds);

// What a sent event changes in the next snapshot: your own properties,
// the connection's status; anything else leaves it as it is.
void applySent(Snapshot *snapshot, const QByteArray &event);

// What an app's message was, for the log: its type and, for "auth", the
// key it carried.
struct AppMessage {
    bool json = false;
    QString type;
    bool hasKey = false;
    QString apiKey;
};
AppMessage readAppMessage(const QByteArray &message);

// The message as a log line may show it: compact JSON with a non-empty
// apiKey replaced by "<masked>"; anything that is not a JSON object only
// by its size, since it might hold the key anywhere.
QByteArray maskedForLog(const QByteArray &message);

}  // namespace remoteapps
