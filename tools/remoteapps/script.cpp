#include "script.h"

#include "messages.h"

#include <QJsonDocument>
#include <QMap>

namespace remoteapps {

namespace {

// Script values: true, false, a whole number or a word.
QJsonValue valueOf(const QString &text)
{
    if (text == QLatin1String("true") || text == QLatin1String("false"))
        return text == QLatin1String("true");
    bool number = false;
    const int value = text.toInt(&number);
    return number ? QJsonValue(value) : QJsonValue(text);
}

class Parser
{
public:
    explicit Parser(const ScriptSettings &settings) : m_settings(settings)
    {
        m_properties.insert(settings.ownClientId, startingOwnProperties());
        m_properties.insert(settings.otherClientId, defaultProperties(QStringLiteral("Other")));
    }

    std::optional<QList<Step>> parse(const QString &text, QString *error)
    {
        int number = 0;
        for (const QString &raw : text.split(QLatin1Char('\n'))) {
            ++number;
            QString line = raw.trimmed();
            if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
                continue;
            const bool paired = line.startsWith(QLatin1Char('&'));
            if (paired)
                line = line.mid(1).trimmed();
            QString why;
            if (!parseLine(line, paired, &why)) {
                *error = QStringLiteral("line %1: %2").arg(number).arg(why);
                return std::nullopt;
            }
        }
        return m_steps;
    }

private:
    // A client: a number or "own".
    bool clientOf(const QString &text, int *id) const
    {
        if (text == QLatin1String("own")) {
            *id = m_settings.ownClientId;
            return true;
        }
        bool number = false;
        *id = text.toInt(&number);
        return number && *id > 0;
    }

    static bool numberOf(const QString &text, int min, int max, int *value)
    {
        bool number = false;
        *value = text.toInt(&number);
        return number && *value >= min && *value <= max;
    }

    QJsonObject &propertiesOf(int client)
    {
        if (!m_properties.contains(client))
            m_properties.insert(client, defaultProperties(QStringLiteral("Client %1").arg(client)));
        return m_properties[client];
    }

    void add(const Step &step) { m_steps.append(step); }

    // An event; a paired one goes out with the last, before it when reversed.
    bool addEvent(const QByteArray &message, bool paired, QString *why)
    {
        Step step;
        step.kind = Step::Kind::Send;
        step.message = message;
        if (paired) {
            if (m_lastEvent < 0) {
                *why = QStringLiteral("\"&\" pairs an event with an event line before it");
                return false;
            }
            m_steps.insert(m_settings.reversePairs ? m_lastEvent : m_lastEvent + 1, step);
            m_lastEvent = -1;  // pairs, not chains
            return true;
        }
        if (m_settings.unknownEvents) {
            Step noise = step;
            noise.message = logEvent(QStringLiteral("Remote app event"));
            add(noise);
            noise.message = groupInfo(m_connection, m_settings.stringIds);
            add(noise);
        }
        m_lastEvent = int(m_steps.size());
        add(step);
        return true;
    }

    bool parseLine(const QString &line, bool paired, QString *why)
    {
        const QStringList parts = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const QString &word = parts.first();
        const QString rest = line.mid(word.size()).trimmed();
        const bool ids = m_settings.stringIds;
        int client = 0, a = 0, b = 0;
        const auto usage = [why](const char *text) {
            *why = QLatin1String(text);
            return false;
        };
        if (!paired && word == QLatin1String("sleep")) {
            if (parts.size() != 2 || !numberOf(parts[1], 1, 3600000, &a))
                return usage("sleep MS");
            Step step;
            step.ms = a;
            add(step);
            m_lastEvent = -1;
            return true;
        }
        if (!paired && word == QLatin1String("echo")) {
            Step step;
            step.kind = Step::Kind::Echo;
            step.text = rest;
            add(step);
            return true;
        }
        if (!paired && word == QLatin1String("quit")) {
            Step step;
            step.kind = Step::Kind::Quit;
            step.ms = -1;
            if (parts.size() > 2 || (parts.size() == 2 && !numberOf(parts[1], 0, 3600, &step.ms)))
                return usage("quit [SECONDS]");
            step.ms = parts.size() == 2 ? step.ms * 1000 : -1;
            add(step);
            m_lastEvent = -1;
            return true;
        }
        if (!paired && word == QLatin1String("connection")) {
            if (parts.size() != 2 || !numberOf(parts[1], 1, 65535, &m_connection))
                return usage("connection N");
            return true;
        }
        if (word == QLatin1String("talk")) {
            const bool whisper = parts.size() == 4 && parts[3] == QLatin1String("whisper");
            if ((parts.size() != 3 && !whisper) || !clientOf(parts[1], &client) || !numberOf(parts[2], 0, 2, &a))
                return usage("talk CLIENT STATUS [whisper]");
            return addEvent(talkStatusChanged(m_connection, client, a, whisper, ids), paired, why);
        }
        if (word == QLatin1String("self")) {
            if (parts.size() != 3)
                return usage("self FLAG VALUE");
            QJsonObject &own = propertiesOf(m_settings.ownClientId);
            const QJsonValue value = valueOf(parts[2]);
            const QJsonValue old = own.contains(parts[1]) ? own.value(parts[1])
                                   : value.isBool()       ? QJsonValue(!value.toBool())
                                                          : QJsonValue(QJsonValue::Null);
            own.insert(parts[1], value);
            return addEvent(clientSelfPropertyUpdated(m_connection, parts[1], old, value, ids), paired, why);
        }
        if (word == QLatin1String("props")) {
            if (parts.size() < 2 || !clientOf(parts[1], &client))
                return usage("props CLIENT [KEY=VALUE...]");
            QJsonObject &properties = propertiesOf(client);
            for (const QString &pair : parts.mid(2)) {
                const int equals = pair.indexOf(QLatin1Char('='));
                if (equals <= 0)
                    return usage("props CLIENT [KEY=VALUE...]");
                properties.insert(pair.left(equals), valueOf(pair.mid(equals + 1)));
            }
            return addEvent(clientPropertiesUpdated(m_connection, client, properties, ids), paired, why);
        }
        if (word == QLatin1String("move")) {
            int type = 1;
            if (parts.size() < 4 || parts.size() > 5 || !clientOf(parts[1], &client)
                || !numberOf(parts[2], 0, 65535, &a) || !numberOf(parts[3], 0, 65535, &b)
                || (parts.size() == 5 && !numberOf(parts[4], 0, 6, &type)) || a == b)
                return usage("move CLIENT FROM TO [TYPE], FROM and TO two channels");
            const int visibility = a == 0 ? 0 : b == 0 ? 2 : 1;
            return addEvent(clientMoved(m_connection, client, a, b, type, visibility, m_settings.otherClientId, ids),
                            paired, why);
        }
        if (word == QLatin1String("status")) {
            if (parts.size() != 2 || !numberOf(parts[1], 0, 4, &a))
                return usage("status N, 0 to 4");
            return addEvent(connectStatusChanged(m_connection, a, m_settings.ownClientId, ids), paired, why);
        }
        if (word == QLatin1String("poke") || word == QLatin1String("message") || word == QLatin1String("text")) {
            int mode = word == QLatin1String("poke") ? 4 : 1;
            const int clientAt = word == QLatin1String("text") ? 2 : 1;
            if (parts.size() <= clientAt || (word == QLatin1String("text") && !numberOf(parts[1], 1, 4, &mode))
                || !clientOf(parts[clientAt], &client) || (word == QLatin1String("poke") && parts.size() != 2))
                return usage("poke CLIENT | message CLIENT TEXT | text MODE CLIENT TEXT");
            const QString message = parts.mid(clientAt + 1).join(QLatin1Char(' '));
            return addEvent(textMessage(m_connection, client, mode, message, m_settings.ownClientId, ids), paired, why);
        }
        if (word == QLatin1String("log"))
            return addEvent(logEvent(rest), paired, why);
        if (word == QLatin1String("groupinfo") && parts.size() == 1)
            return addEvent(groupInfo(m_connection, ids), paired, why);
        if (word == QLatin1String("send")) {
            const QJsonDocument document = QJsonDocument::fromJson(rest.toUtf8());
            if (!document.isObject())
                return usage("send takes one JSON object");
            return addEvent(document.toJson(QJsonDocument::Compact), paired, why);
        }
        *why = QStringLiteral("unknown step \"%1\"").arg(paired ? QLatin1Char('&') + word : word);
        return false;
    }

    const ScriptSettings m_settings;
    QList<Step> m_steps;
    QMap<int, QJsonObject> m_properties;
    int m_connection = 1;
    int m_lastEvent = -1;  // the event line a "&" line pairs with
};

const char kConversationStart[] = R"(# The other user talks and stops; you mute the microphone.
sleep 500
talk 7 1
sleep 500
talk 7 0
sleep 500
self inputMuted true
& props own inputMuted=true
)";

const char kMutedTalk[] = R"(# You talk while muted: TeamSpeak may never send this.
sleep 500
talk own 2
sleep 500
talk own 0
)";

const char kConversationEnd[] = R"(# You go away, then the connection ends.
sleep 500
self away true
& props own away=true
sleep 500
status 0
)";

}  // namespace

std::optional<QList<Step>> parseScript(const QString &text, const ScriptSettings &settings, QString *error)
{
    return Parser(settings).parse(text, error);
}

QString builtInScript(const QString &name)
{
    if (name == QLatin1String("conversation"))
        return QLatin1String(kConversationStart) + QLatin1String(kConversationEnd);
    if (name == QLatin1String("conversation-muted-talk"))
        return QLatin1String(kConversationStart) + QLatin1String(kMutedTalk) + QLatin1String(kConversationEnd);
    return QString();
}

}  // namespace remoteapps
