// The stand-in Remote Apps server's messages and scripts: what the helper's
// tests are played must be what the voice client sends.
#include "messages.h"
#include "script.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

using namespace remoteapps;

namespace {

QJsonObject objectOf(const QByteArray &json)
{
    return QJsonDocument::fromJson(json).object();
}

// A field by a dotted path, as compact JSON ("payload.status" -> "1").
QString field(const QByteArray &message, const QString &path)
{
    QJsonValue value = objectOf(message);
    for (const QString &key : path.split(QLatin1Char('.')))
        value = value.toObject().value(key);
    if (value.isUndefined())
        return QStringLiteral("(none)");
    return QString::fromUtf8(QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact)).mid(1).chopped(1);
}

QString describe(const Step &step)
{
    switch (step.kind) {
    case Step::Kind::Sleep:
        return QStringLiteral("sleep %1").arg(step.ms);
    case Step::Kind::Echo:
        return QStringLiteral("echo ") + step.text;
    case Step::Kind::Quit:
        return QStringLiteral("quit %1").arg(step.ms);
    case Step::Kind::Send:
        break;
    }
    return objectOf(step.message).value(QStringLiteral("type")).toString();
}

}  // namespace

class TestRemoteAppsScript : public QObject
{
    Q_OBJECT

private slots:
    // The first answer and the built-in conversation are the known
    // messages, field for field, whatever the order of the keys.
    void conversationIsTheRecordedOne()
    {
        const QList<QByteArray> recorded{
            R"({"type":"talkStatusChanged","payload":{"clientId":7,"connectionId":1,"isWhisper":false,"status":1}})",
            R"({"type":"talkStatusChanged","payload":{"clientId":7,"connectionId":1,"isWhisper":false,"status":0}})",
            R"({"type":"clientSelfPropertyUpdated","payload":{"connectionId":1,"flag":"inputMuted","oldValue":false,"newValue":true}})",
            R"({"type":"clientPropertiesUpdated","payload":{"clientId":1,"connectionId":1,"properties":{"nickname":"Me","inputMuted":true,"outputMuted":false,"away":false,"flagTalking":false,"inputHardware":true}}})",
            R"({"type":"clientSelfPropertyUpdated","payload":{"connectionId":1,"flag":"away","oldValue":false,"newValue":true}})",
            R"({"type":"clientPropertiesUpdated","payload":{"clientId":1,"connectionId":1,"properties":{"nickname":"Me","inputMuted":true,"outputMuted":false,"away":true,"flagTalking":false,"inputHardware":true}}})",
            R"({"type":"connectStatusChanged","payload":{"connectionId":1,"error":0,"hotReload":false,"info":null,"status":0}})"};
        QString error;
        const std::optional<QList<Step>> steps = parseScript(builtInScript(QStringLiteral("conversation")), {}, &error);
        QVERIFY2(steps, qPrintable(error));
        QList<QJsonObject> sent;
        for (const Step &step : *steps)
            if (step.kind == Step::Kind::Send)
                sent.append(objectOf(step.message));
        QCOMPARE(sent.size(), recorded.size());
        for (int i = 0; i < sent.size(); ++i)
            QCOMPARE(sent.at(i), objectOf(recorded.at(i)));

        const QByteArray answer =
            R"({"type":"auth","status":{"code":0,"message":"ok"},"payload":{"apiKey":"3f1c2a9e-0b7d-4c55-9e21-6d0a8b4f7c13","currentConnectionId":1,"connections":[{"id":1,"clientId":1,"status":4,"properties":{"name":"Test Server","uniqueIdentifier":"dGVzdHNlcnZlcg=="},"channelInfos":{"rootChannels":[{"id":"5","order":"0","parentId":"0","properties":{"name":"Lobby"}}],"subChannels":{}},"clientInfos":[{"id":1,"channelId":5,"properties":{"nickname":"Me","inputMuted":false,"outputMuted":false,"away":false,"flagTalking":false,"inputHardware":true}},{"id":7,"channelId":5,"properties":{"nickname":"Other","inputMuted":false,"outputMuted":false,"away":false,"flagTalking":false}}]}]}})";
        QCOMPARE(objectOf(authAllowed(QStringLiteral("3f1c2a9e-0b7d-4c55-9e21-6d0a8b4f7c13"), Snapshot())),
                 objectOf(answer));
    }

    void scripts_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<bool>("reversePairs");
        QTest::addColumn<bool>("unknownEvents");
        QTest::addColumn<bool>("stringIds");
        QTest::addColumn<QStringList>("steps");   // each step, an event by its type
        QTest::addColumn<QStringList>("fields");  // "step:path=json"
        const QString pair = QStringLiteral("talk own 1\n& self flagTalking true\nsleep 10\ntalk 7 1");
        QTest::newRow("a pair as written")
            << pair << false << false << false
            << QStringList{"talkStatusChanged", "clientSelfPropertyUpdated", "sleep 10", "talkStatusChanged"}
            << QStringList{"0:payload.clientId=1", "1:payload.oldValue=false", "3:payload.clientId=7"};
        QTest::newRow("a pair reversed") << pair << true << false << false
                                         << QStringList{"clientSelfPropertyUpdated", "talkStatusChanged", "sleep 10",
                                                        "talkStatusChanged"}
                                         << QStringList{"1:payload.clientId=1"};
        QTest::newRow("unknown events between steps, never inside a pair")
            << pair << true << true << false
            << QStringList{"log", "groupInfo", "clientSelfPropertyUpdated", "talkStatusChanged", "sleep 10",
                           "log", "groupInfo", "talkStatusChanged"}
            << QStringList{"0:payload.connectionId=(none)", "1:payload.connectionId=1"};
        QTest::newRow("ids as strings") << QStringLiteral("connection 3\ntalk 7 1 whisper\nmove 9 0 5 0") << false
                                        << false << true << QStringList{"talkStatusChanged", "clientMoved"}
                                        << QStringList{"0:payload.clientId=\"7\"",
                                                       "0:payload.connectionId=\"3\"",
                                                       "0:payload.isWhisper=true",
                                                       "1:payload.oldChannelId=\"0\"",
                                                       "1:payload.visibility=0",
                                                       "1:payload.type=0",
                                                       "1:payload.properties.nickname=\"Client 9\""};
        QTest::newRow("own properties follow the script")
            << QStringLiteral("self inputMuted true\nself inputMuted false\nprops own away=true\nprops 7 outputMuted=1")
            << false << false << false
            << QStringList{"clientSelfPropertyUpdated", "clientSelfPropertyUpdated", "clientPropertiesUpdated",
                           "clientPropertiesUpdated"}
            << QStringList{"1:payload.oldValue=true",
                           "1:payload.newValue=false",
                           "2:payload.properties.away=true",
                           "2:payload.properties.inputMuted=false",
                           "2:payload.properties.inputHardware=true",
                           "3:payload.properties.nickname=\"Other\"",
                           "3:payload.properties.outputMuted=1"};
        QTest::newRow("a join moved by someone, and a leave")
            << QStringLiteral("move 9 6 5 2\nmove 9 5 0") << false << false << false
            << QStringList{"clientMoved", "clientMoved"}
            << QStringList{"0:payload.newChannelId=\"5\"", "0:payload.invoker.id=7", "0:payload.visibility=1",
                           "0:payload.properties=(none)",  "1:payload.visibility=2", "1:payload.invoker=(none)"};
        QTest::newRow("poke, private and channel messages")
            << QStringLiteral("poke 7\nmessage 7 hi  there\ntext 2 own hello") << false << false << false
            << QStringList{"textMessage", "textMessage", "textMessage"}
            << QStringList{"0:payload.targetMode=4", "0:payload.message=\"\"",         "0:payload.invoker.id=7",
                           "1:payload.targetMode=1", "1:payload.message=\"hi there\"", "1:payload.targetId=1",
                           "2:payload.targetMode=2", "2:payload.invoker.id=1"};
        QTest::newRow("a reconnection tells your id again, then the client quits and comes back")
            << QStringLiteral("# comment\n\nstatus 2\nstatus 4\necho back\nquit 5\nquit") << false << false << false
            << QStringList{"connectStatusChanged", "connectStatusChanged", "echo back", "quit 5000", "quit -1"}
            << QStringList{"0:payload.info.clientId=1", "0:payload.info.serverName=\"Test Server\"",
                           "1:payload.info.serverName=(none)"};
    }

    void scripts()
    {
        QFETCH(QString, script);
        QFETCH(bool, reversePairs);
        QFETCH(bool, unknownEvents);
        QFETCH(bool, stringIds);
        QFETCH(QStringList, steps);
        QFETCH(QStringList, fields);
        ScriptSettings settings;
        settings.reversePairs = reversePairs;
        settings.unknownEvents = unknownEvents;
        settings.stringIds = stringIds;
        QString error;
        const std::optional<QList<Step>> parsed = parseScript(script, settings, &error);
        QVERIFY2(parsed, qPrintable(error));
        QStringList described;
        for (const Step &step : *parsed)
            described << describe(step);
        QCOMPARE(described, steps);
        for (const QString &check : fields) {
            const int colon = check.indexOf(QLatin1Char(':')), equals = check.indexOf(QLatin1Char('='));
            const QByteArray message = parsed->at(check.left(colon).toInt()).message;
            QCOMPARE(field(message, check.mid(colon + 1, equals - colon - 1)), check.mid(equals + 1));
        }
    }

    void badScripts_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("error");
        QTest::newRow("a pair without an event before") << "sleep 5\n& talk 7 1"
                                                        << "line 2: \"&\"";
        QTest::newRow("a talk status past 2") << "talk 7 3"
                                              << "line 1: talk";
        QTest::newRow("a client that is no number") << "\npoke seven"
                                                    << "line 2: poke";
        QTest::newRow("a move to where it is") << "move 7 5 5"
                                               << "line 1: move";
        QTest::newRow("a pause paired") << "talk 7 1\n& sleep 5"
                                        << "line 2: unknown step \"&sleep\"";
    }

    void badScripts()
    {
        QFETCH(QString, script);
        QFETCH(QString, error);
        QString got;
        QVERIFY(!parseScript(script, {}, &got));
        QVERIFY2(got.startsWith(error), qPrintable(got));
    }

    // The key never reaches the log, wherever the app put it.
    void keysMasked_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QByteArray>("logged");
        QTest::newRow("a key") << QByteArray(R"({"type":"auth","payload":{"content":{"apiKey":"s3cret"}}})")
                               << QByteArray(R"({"payload":{"content":{"apiKey":"<masked>"}},"type":"auth"})");
        QTest::newRow("no key yet") << QByteArray(R"({"type":"auth","payload":{"content":{"apiKey":""}}})")
                                    << QByteArray(R"({"payload":{"content":{"apiKey":""}},"type":"auth"})");
        QTest::newRow("a key not a string")
            << QByteArray(R"({"type":"auth","payload":{"content":{"apiKey":7}}})")
            << QByteArray(R"({"payload":{"content":{"apiKey":"<masked>"}},"type":"auth"})");
        QTest::newRow("not JSON") << QByteArray(R"({"type":"auth","payload":{"content":{"apiKey":"s3cret"})")
                                  << QByteArray();
    }

    void keysMasked()
    {
        QFETCH(QByteArray, message);
        QFETCH(QByteArray, logged);
        const QByteArray masked = maskedForLog(message);
        QVERIFY2(!masked.contains("s3cret"), masked.constData());
        if (!logged.isEmpty())
            QCOMPARE(masked, logged);
    }

    // A client that comes back is told the state the script left.
    void snapshotFollowsWhatWasSent()
    {
        QString error;
        const std::optional<QList<Step>> steps = parseScript(
            QStringLiteral("self inputMuted true\nprops own away=true outputMuted=true\nstatus 0"), {}, &error);
        QVERIFY2(steps, qPrintable(error));
        Snapshot snapshot;
        for (const Step &step : *steps)
            applySent(&snapshot, step.message);
        const QByteArray answer = authAllowed(QStringLiteral("k"), snapshot);
        QCOMPARE(field(answer, QStringLiteral("payload.connections")).contains(QLatin1String("\"status\":0")), true);
        const QJsonObject own =
            QJsonDocument::fromJson(answer)[QStringLiteral("payload")][QStringLiteral("connections")][0]
                                           [QStringLiteral("clientInfos")][0][QStringLiteral("properties")]
                                               .toObject();
        QCOMPARE(own.value(QStringLiteral("inputMuted")), QJsonValue(true));
        QCOMPARE(own.value(QStringLiteral("away")), QJsonValue(true));
        QCOMPARE(own.value(QStringLiteral("outputMuted")), QJsonValue(true));
    }
};

QTEST_APPLESS_MAIN(TestRemoteAppsScript)
#include "tst_remoteapps_script.moc"
