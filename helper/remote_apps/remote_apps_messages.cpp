#include "remote_apps_messages.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <limits>

namespace remote_apps {

namespace {

// Sources disagree on numbers and text for ids, and toString() of a
// number is empty: both are read, as whole numbers only.
std::optional<std::int64_t> idOf(const QJsonValue &value)
{
    if (value.isDouble()) {
        const double number = value.toDouble();
        if (std::trunc(number) != number || std::abs(number) > 9.0e15)
            return std::nullopt;
        return std::int64_t(number);
    }
    if (value.isString()) {
        bool ok = false;
        const qint64 number = value.toString().trimmed().toLongLong(&ok);
        if (ok)
            return number;
    }
    return std::nullopt;
}

// JSON booleans, or the numbers an older client typed them as.
std::optional<bool> flagOf(const QJsonValue &value)
{
    if (value.isBool())
        return value.toBool();
    if (const std::optional<std::int64_t> number = idOf(value))
        return *number != 0;
    if (value.isString()) {
        const QString text = value.toString().trimmed();
        if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
            return true;
        if (text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
            return false;
    }
    return std::nullopt;
}

int intOf(const QJsonValue &value, int fallback)
{
    const std::optional<std::int64_t> number = idOf(value);
    return number && *number >= std::numeric_limits<int>::min() && *number <= std::numeric_limits<int>::max()
               ? int(*number)
               : fallback;
}

Properties propertiesOf(const QJsonValue &value)
{
    const QJsonObject object = value.toObject();
    Properties p;
    p.inputMuted = flagOf(object.value(QLatin1String("inputMuted")));
    p.outputMuted = flagOf(object.value(QLatin1String("outputMuted")));
    p.away = flagOf(object.value(QLatin1String("away")));
    p.inputHardware = flagOf(object.value(QLatin1String("inputHardware")));
    p.flagTalking = flagOf(object.value(QLatin1String("flagTalking")));
    return p;
}

std::optional<Event> authAnswer(const QJsonObject &frame, const QJsonObject &payload)
{
    AuthAnswer answer;
    // A reply without a status is no refusal: only a code says so.
    answer.statusCode = intOf(frame.value(QLatin1String("status")).toObject().value(QLatin1String("code")), 0);
    answer.apiKey = payload.value(QLatin1String("apiKey")).toString();
    for (const QJsonValue &item : payload.value(QLatin1String("connections")).toArray()) {
        const QJsonObject object = item.toObject();
        const std::optional<std::int64_t> id = idOf(object.value(QLatin1String("id")));
        if (!id)
            continue;
        ConnectionInfo connection;
        connection.id = *id;
        connection.clientId = idOf(object.value(QLatin1String("clientId")));
        connection.status = intOf(object.value(QLatin1String("status")), kDisconnected);
        for (const QJsonValue &client : object.value(QLatin1String("clientInfos")).toArray()) {
            const QJsonObject info = client.toObject();
            const std::optional<std::int64_t> clientId = idOf(info.value(QLatin1String("id")));
            if (clientId)
                connection.clients.push_back(ClientInfo{*clientId, idOf(info.value(QLatin1String("channelId"))),
                                                        propertiesOf(info.value(QLatin1String("properties")))});
        }
        answer.connections.push_back(std::move(connection));
    }
    return answer;
}

}  // namespace

std::optional<Event> parseFrame(const QByteArray &utf8)
{
    const QJsonObject frame = QJsonDocument::fromJson(utf8).object();
    const QString type = frame.value(QLatin1String("type")).toString();
    const QJsonObject payload = frame.value(QLatin1String("payload")).toObject();
    const auto id = [&payload](const char *key) { return idOf(payload.value(QLatin1String(key))); };
    if (type == QLatin1String("auth"))
        return authAnswer(frame, payload);
    const std::optional<std::int64_t> connection = id("connectionId");
    if (!connection)
        return std::nullopt;
    if (type == QLatin1String("talkStatusChanged")) {
        const std::optional<std::int64_t> client = id("clientId");
        const int status = intOf(payload.value(QLatin1String("status")), -1);
        if (!client || status < 0)
            return std::nullopt;
        return TalkStatus{*connection, *client, status,
                          flagOf(payload.value(QLatin1String("isWhisper"))).value_or(false)};
    }
    if (type == QLatin1String("clientSelfPropertyUpdated"))
        return SelfProperty{*connection, payload.value(QLatin1String("flag")).toString(),
                            flagOf(payload.value(QLatin1String("newValue")))};
    if (type == QLatin1String("clientPropertiesUpdated")) {
        const std::optional<std::int64_t> client = id("clientId");
        if (!client)
            return std::nullopt;
        return ClientProperties{*connection, *client, propertiesOf(payload.value(QLatin1String("properties")))};
    }
    if (type == QLatin1String("clientMoved")) {
        const std::optional<std::int64_t> client = id("clientId");
        if (!client)
            return std::nullopt;
        return ClientMoved{*connection,
                           *client,
                           id("oldChannelId").value_or(0),
                           id("newChannelId").value_or(0),
                           intOf(payload.value(QLatin1String("type")), kSubscriptionMove),
                           intOf(payload.value(QLatin1String("visibility")), 1)};
    }
    if (type == QLatin1String("connectStatusChanged")) {
        const int status = intOf(payload.value(QLatin1String("status")), -1);
        if (status < 0)
            return std::nullopt;
        return ConnectStatus{*connection, status,
                             idOf(payload.value(QLatin1String("info")).toObject().value(QLatin1String("clientId")))};
    }
    if (type == QLatin1String("textMessage"))
        return TextMessage{*connection,
                           idOf(payload.value(QLatin1String("invoker")).toObject().value(QLatin1String("id"))),
                           intOf(payload.value(QLatin1String("targetMode")), 0)};
    return std::nullopt;
}

QByteArray authRequest(const QString &apiKey)
{
    const QJsonObject content{{QStringLiteral("apiKey"), apiKey}};
    const QJsonObject payload{{QStringLiteral("identifier"), QLatin1String(kIdentifier)},
                              {QStringLiteral("version"), QLatin1String(kVersion)},
                              {QStringLiteral("name"), QLatin1String(kName)},
                              {QStringLiteral("description"), QLatin1String(kDescription)},
                              {QStringLiteral("content"), content}};
    const QJsonObject frame{{QStringLiteral("type"), QStringLiteral("auth")}, {QStringLiteral("payload"), payload}};
    return QJsonDocument(frame).toJson(QJsonDocument::Compact);
}

}  // namespace remote_apps
