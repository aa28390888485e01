#include "messages.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace remoteapps {

namespace {

constexpr int kLobby = 5;
constexpr int kQuietRoom = 6;
constexpr int kFirstMadeUpClient = 100;

QByteArray compact(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QJsonObject ok()
{
    return {{QStringLiteral("code"), 0}, {QStringLiteral("message"), QStringLiteral("ok")}};
}

// A pushed event: no status.
QByteArray event(const char *type, const QJsonObject &payload)
{
    return compact({{QStringLiteral("type"), QLatin1String(type)}, {QStringLiteral("payload"), payload}});
}

QJsonObject channel(int id, int parentId, int order, const QString &name)
{
    return {{QStringLiteral("id"), QString::number(id)},
            {QStringLiteral("order"), QString::number(order)},
            {QStringLiteral("parentId"), QString::number(parentId)},
            {QStringLiteral("properties"), QJsonObject{{QStringLiteral("name"), name}}}};
}

QJsonObject clientInfo(int id, int channelId, const QJsonObject &properties, bool stringIds)
{
    return {{QStringLiteral("id"), idValue(id, stringIds)},
            {QStringLiteral("channelId"), idValue(channelId, stringIds)},
            {QStringLiteral("properties"), properties}};
}

}  // namespace

QJsonValue idValue(int id, bool stringIds)
{
    return stringIds ? QJsonValue(QString::number(id)) : QJsonValue(id);
}

QJsonObject defaultProperties(const QString &nickname)
{
    return {{QStringLiteral("nickname"), nickname},
            {QStringLiteral("inputMuted"), false},
            {QStringLiteral("outputMuted"), false},
            {QStringLiteral("away"), false},
            {QStringLiteral("flagTalking"), false}};
}

QJsonObject startingOwnProperties()
{
    QJsonObject own = defaultProperties(QStringLiteral("Me"));
    own.insert(QStringLiteral("inputHardware"), true);
    return own;
}

QByteArray authAllowed(const QString &apiKey, const Snapshot &s)
{
    QJsonArray clients{clientInfo(s.ownClientId, kLobby, s.ownProperties, s.stringIds)};
    if (s.clients > 1)
        clients.append(clientInfo(s.otherClientId, kLobby, defaultProperties(QStringLiteral("Other")), s.stringIds));
    for (int i = 0; i < s.clients - 2; ++i) {
        const int id = kFirstMadeUpClient + i;
        clients.append(clientInfo(id, kQuietRoom, defaultProperties(QStringLiteral("Guest %1").arg(id)), s.stringIds));
    }
    // The made-up clients wait in a channel below yours, so that an app
    // must walk the sub-channels to know it.
    QJsonObject subChannels;
    if (s.clients > 2)
        subChannels.insert(QString::number(kLobby),
                           QJsonArray{channel(kQuietRoom, kLobby, 0, QStringLiteral("Quiet"))});
    const QJsonObject channels{
        {QStringLiteral("rootChannels"), QJsonArray{channel(kLobby, 0, 0, QStringLiteral("Lobby"))}},
        {QStringLiteral("subChannels"), subChannels}};
    const QJsonObject connection{
        {QStringLiteral("id"), idValue(s.connectionId, s.stringIds)},
        {QStringLiteral("clientId"), idValue(s.ownClientId, s.stringIds)},
        {QStringLiteral("status"), s.connectionStatus},
        {QStringLiteral("properties"),
         QJsonObject{{QStringLiteral("name"), QStringLiteral("Test Server")},
                     {QStringLiteral("uniqueIdentifier"), QStringLiteral("dGVzdHNlcnZlcg==")}}},
        {QStringLiteral("channelInfos"), channels},
        {QStringLiteral("clientInfos"), clients}};
    const QJsonObject payload{{QStringLiteral("apiKey"), apiKey},
                              {QStringLiteral("currentConnectionId"), idValue(s.connectionId, s.stringIds)},
                              {QStringLiteral("connections"), QJsonArray{connection}}};
    return compact({{QStringLiteral("type"), QStringLiteral("auth")},
                    {QStringLiteral("status"), ok()},
                    {QStringLiteral("payload"), payload}});
}

QByteArray authRefused(int statusCode)
{
    const QJsonObject status{{QStringLiteral("code"), statusCode},
                             {QStringLiteral("message"), QStringLiteral("refused")}};
    return compact({{QStringLiteral("type"), QStringLiteral("auth")},
                    {QStringLiteral("status"), status},
                    {QStringLiteral("payload"), QJsonObject()}});
}

QByteArray talkStatusChanged(int connectionId, int clientId, int status, bool whisper, bool stringIds)
{
    return event("talkStatusChanged", {{QStringLiteral("clientId"), idValue(clientId, stringIds)},
                                       {QStringLiteral("connectionId"), idValue(connectionId, stringIds)},
                                       {QStringLiteral("isWhisper"), whisper},
                                       {QStringLiteral("status"), status}});
}

QByteArray clientSelfPropertyUpdated(int connectionId, const QString &flag, const QJsonValue &oldValue,
                                     const QJsonValue &newValue, bool stringIds)
{
    return event("clientSelfPropertyUpdated", {{QStringLiteral("connectionId"), idValue(connectionId, stringIds)},
                                               {QStringLiteral("flag"), flag},
                                               {QStringLiteral("oldValue"), oldValue},
                                               {QStringLiteral("newValue"), newValue}});
}

QByteArray clientPropertiesUpdated(int connectionId, int clientId, const QJsonObject &properties, bool stringIds)
{
    return event("clientPropertiesUpdated", {{QStringLiteral("clientId"), idValue(clientId, stringIds)},
                                             {QStringLiteral("connectionId"), idValue(connectionId, stringIds)},
                                             {QStringLiteral("properties"), properties}});
}

QByteArray clientMoved(int connectionId, int clientId, int oldChannelId, int newChannelId, int type, int visibility,
                       int invokerId, bool stringIds)
{
    QJsonObject payload{{QStringLiteral("clientId"), idValue(clientId, stringIds)},
                        {QStringLiteral("connectionId"), idValue(connectionId, stringIds)},
                        {QStringLiteral("oldChannelId"), QString::number(oldChannelId)},
                        {QStringLiteral("newChannelId"), QString::number(newChannelId)},
                        {QStringLiteral("type"), type},
                        {QStringLiteral("visibility"), visibility},
                        {QStringLiteral("hotReload"), false}};
    if (oldChannelId == 0)
        payload.insert(QStringLiteral("properties"), defaultProperties(QStringLiteral("Client %1").arg(clientId)));
    if (type == 2)
        payload.insert(QStringLiteral("invoker"),
                       QJsonObject{{QStringLiteral("id"), idValue(invokerId, stringIds)},
                                   {QStringLiteral("nickname"), QStringLiteral("Client %1").arg(invokerId)},
                                   {QStringLiteral("uid"), QStringLiteral("uid-%1").arg(invokerId)}});
    return event("clientMoved", payload);
}

QByteArray connectStatusChanged(int connectionId, int status, int ownClientId, bool stringIds)
{
    QJsonValue info = QJsonValue::Null;
    if (status == 2)
        info = QJsonObject{{QStringLiteral("clientId"), idValue(ownClientId, stringIds)},
                           {QStringLiteral("serverName"), QStringLiteral("Test Server")},
                           {QStringLiteral("serverUid"), QStringLiteral("dGVzdHNlcnZlcg==")},
                           {QStringLiteral("legacyUUID"), QStringLiteral("dGVzdHNlcnZlcg==")}};
    else if (status >= 3)
        info = QJsonObject{{QStringLiteral("clientId"), idValue(ownClientId, stringIds)}};
    return event("connectStatusChanged", {{QStringLiteral("connectionId"), idValue(connectionId, stringIds)},
                                          {QStringLiteral("error"), 0},
                                          {QStringLiteral("hotReload"), false},
                                          {QStringLiteral("info"), info},
                                          {QStringLiteral("status"), status}});
}

QByteArray textMessage(int connectionId, int invokerId, int targetMode, const QString &message, int targetId,
                       bool stringIds)
{
    const QJsonObject invoker{{QStringLiteral("id"), idValue(invokerId, stringIds)},
                              {QStringLiteral("nickname"), QStringLiteral("Client %1").arg(invokerId)},
                              {QStringLiteral("uid"), QStringLiteral("uid-%1").arg(invokerId)}};
    return event("textMessage", {{QStringLiteral("connectionId"), idValue(connectionId, stringIds)},
                                 {QStringLiteral("invoker"), invoker},
                                 {QStringLiteral("message"), message},
                                 {QStringLiteral("targetId"), idValue(targetId, stringIds)},
                                 {QStringLiteral("targetMode"), targetMode}});
}

QByteArray logEvent(const QString &message)
{
    return event("log", {{QStringLiteral("channel"), QStringLiteral("ClientUI")},
                         {QStringLiteral("complete"), message},
                         {QStringLiteral("id"), 1},
                         {QStringLiteral("level"), 4},
                         {QStringLiteral("message"), message},
                         {QStringLiteral("time"), QStringLiteral("2025-01-01 12:00:00.000")}});
}

QByteArray groupInfo(int connectionId, bool stringIds)
{
    return event("groupInfo", {{QStringLiteral("connectionId"), idValue(connectionId, stringIds)},
                               {QStringLiteral("serverGroups"), QJsonArray()},
                               {QStringLiteral("channelGroups"), QJsonArray()}});
}

void applySent(Snapshot *snapshot, const QByteArray &event)
{
    const QJsonObject object = QJsonDocument::fromJson(event).object();
    const QString type = object.value(QStringLiteral("type")).toString();
    const QJsonObject payload = object.value(QStringLiteral("payload")).toObject();
    // Ids as numbers or as strings alike.
    const int clientId = payload.value(QStringLiteral("clientId")).toVariant().toInt();
    if (type == QLatin1String("clientSelfPropertyUpdated")) {
        snapshot->ownProperties.insert(payload.value(QStringLiteral("flag")).toString(),
                                       payload.value(QStringLiteral("newValue")));
    } else if (type == QLatin1String("clientPropertiesUpdated") && clientId == snapshot->ownClientId) {
        snapshot->ownProperties = payload.value(QStringLiteral("properties")).toObject();
    } else if (type == QLatin1String("connectStatusChanged")) {
        snapshot->connectionStatus = payload.value(QStringLiteral("status")).toInt();
    }
}

AppMessage readAppMessage(const QByteArray &message)
{
    AppMessage read;
    const QJsonDocument document = QJsonDocument::fromJson(message);
    if (!document.isObject())
        return read;
    read.json = true;
    const QJsonObject object = document.object();
    read.type = object.value(QStringLiteral("type")).toString();
    const QJsonValue key = object.value(QStringLiteral("payload"))
                               .toObject()
                               .value(QStringLiteral("content"))
                               .toObject()
                               .value(QStringLiteral("apiKey"));
    read.hasKey = key.isString();
    read.apiKey = key.toString();
    return read;
}

QByteArray maskedForLog(const QByteArray &message)
{
    const QJsonDocument document = QJsonDocument::fromJson(message);
    if (!document.isObject())
        return QByteArrayLiteral("(not a JSON object, ") + QByteArray::number(message.size()) + " bytes)";
    QJsonObject object = document.object();
    QJsonObject payload = object.value(QStringLiteral("payload")).toObject();
    QJsonObject content = payload.value(QStringLiteral("content")).toObject();
    const QJsonValue key = content.value(QStringLiteral("apiKey"));
    if (!key.isUndefined() && key != QJsonValue(QString())) {
        content.insert(QStringLiteral("apiKey"), QStringLiteral("<masked>"));
        payload.insert(QStringLiteral("content"), content);
        object.insert(QStringLiteral("payload"), payload);
    }
    return compact(object);
}

}  // namespace remoteapps
