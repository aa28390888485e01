// The Remote Apps client: TeamSpeak's frames turned into the plugin's words,
// the pairing decisions, and the client on a socket against a server in
// this process.
#include "remote_apps_client.h"
#include "remote_apps_pairing.h"
#include "remote_apps_state.h"
#include "settings_file.h"
#include "test_support.h"

#include <QRegularExpression>
#include <QWebSocket>
#include <QWebSocketServer>
#include <QtTest>

using namespace remote_apps;

namespace {

// You are client 1 in channel 5 on connection 1; client 7 is another user.
const QString kSnapshot = QStringLiteral(
    R"(auth {"apiKey":"k","currentConnectionId":1,"connections":[{"id":1,"clientId":1,"status":4,)"
    R"("properties":{"name":"Test Server"},"channelInfos":{"rootChannels":[],"subChannels":{}},"clientInfos":[)"
    R"({"id":1,"channelId":5,"properties":{"nickname":"Me","inputMuted":false,"outputMuted":false,"away":false,)"
    R"("flagTalking":false,"inputHardware":true}},{"id":7,"channelId":5,"properties":{"nickname":"Other",)"
    R"("inputMuted":false,"outputMuted":false,"away":false,"flagTalking":false}}]}]})");

QString talk(int client, int status, bool whisper = false, int connection = 1)
{
    return QStringLiteral(R"(talkStatusChanged {"clientId":%1,"connectionId":%4,"isWhisper":%3,"status":%2})")
        .arg(client)
        .arg(status)
        .arg(whisper ? "true" : "false")
        .arg(connection);
}
QString self(const char *flag, const char *value, int connection = 1)
{
    return QStringLiteral(R"(clientSelfPropertyUpdated {"connectionId":%3,"flag":"%1","oldValue":null,"newValue":%2})")
        .arg(QLatin1String(flag), QLatin1String(value))
        .arg(connection);
}
QString ownProperties(const char *muted, const char *away)
{
    return QStringLiteral(R"(clientPropertiesUpdated {"clientId":1,"connectionId":1,"properties":{"nickname":"Me",)"
                          R"("inputMuted":%1,"outputMuted":false,"away":%2,"flagTalking":false,"inputHardware":true}})")
        .arg(QLatin1String(muted), QLatin1String(away));
}
QString moved(int client, int from, int to, int type, int visibility = 1)
{
    return QStringLiteral(R"(clientMoved {"clientId":%1,"connectionId":1,"oldChannelId":"%2","newChannelId":"%3",)"
                          R"("type":%4,"visibility":%5,"hotReload":false})")
        .arg(client)
        .arg(from)
        .arg(to)
        .arg(type)
        .arg(visibility);
}
QString status(int connection, int value, int client = 0)
{
    return QStringLiteral(R"(connectStatusChanged {"connectionId":%1,"error":0,"status":%2,"info":%3})")
        .arg(connection)
        .arg(value)
        .arg(client ? QStringLiteral(R"({"clientId":%1})").arg(client) : QStringLiteral("null"));
}
QString text(int mode, int invoker)
{
    return QStringLiteral(R"(textMessage {"connectionId":1,"invoker":{"id":%2,"nickname":"x"},"message":"",)"
                          R"("targetId":1,"targetMode":%1})")
        .arg(mode)
        .arg(invoker);
}

// "<type> <payload>" as a frame.
QByteArray frame(const QString &line)
{
    const int space = line.indexOf(QLatin1Char(' '));
    return QStringLiteral(R"({"type":"%1","status":{"code":0,"message":"ok"},"payload":%2})")
        .arg(line.left(space), line.mid(space + 1))
        .toUtf8();
}

QStringList texts(const Words &words)
{
    QStringList list;
    for (const protocol::CommandWord word : words)
        list << QString::fromLatin1(protocol::commandWordText(word));
    return list;
}

QString describe(const Pairing::Step &step)
{
    QStringList parts;
    const auto key = [](const QString &k) { return k.isEmpty() ? QStringLiteral("-") : k; };
    if (step.sendAuth)
        parts << "auth " + key(*step.sendAuth);
    if (step.askUser)
        parts << "ask";
    if (step.refused)
        parts << "refused";
    if (step.storeKey)
        parts << "store " + key(*step.storeKey);
    if (step.started)
        parts << "started";
    if (step.ended)
        parts << "ended";
    if (step.connectInMs)
        parts << QStringLiteral("connect %1").arg(*step.connectInMs);
    if (step.probeInMs)
        parts << QStringLiteral("probe %1").arg(*step.probeInMs);
    return parts.isEmpty() ? QStringLiteral("-") : parts.join(' ');
}

}  // namespace

class TestRemoteApps : public QObject
{
    Q_OBJECT

private slots:
    // Each row: the frames after a granted "auth" (the first frame), and
    // the words each gives, joined by "|" per frame.
    void framesBecomeThePluginsWords_data()
    {
        columns<QStringList, QStringList>({"frames", "words"});
        const QStringList conversation{kSnapshot,
                                       talk(7, 1),
                                       talk(7, 0),
                                       self("inputMuted", "true"),
                                       ownProperties("true", "false"),
                                       talk(1, 2),
                                       self("away", "true"),
                                       ownProperties("true", "true"),
                                       status(1, 0)};
        const QStringList conversationWords{
            "stop", "startother", "stop", "micmuted", "", "mute", "away", "", "stop micunmuted back offline"};
        QTest::newRow("the whole conversation") << conversation << conversationWords;
        QStringList asText = conversation;
        asText.replaceInStrings(QRegularExpression(QStringLiteral("\"(id|clientId|connectionId|channelId)\":(\\d+)")),
                                QStringLiteral("\"\\1\":\"\\2\""));
        QTest::newRow("ids as text") << asText << conversationWords;
        QTest::newRow("own talk's pair, either order, unknown frames between")
            << QStringList{kSnapshot,
                           self("flagTalking", "true"),
                           R"(log {"channel":"x","message":"noise"})",
                           talk(1, 1),
                           talk(1, 0),
                           R"(groupInfo {"connectionId":1,"whatever":[1,2]})",
                           self("flagTalking", "false"),
                           talk(1, 1),
                           self("flagTalking", "true")}
            << QStringList{"stop", "start", "", "", "stop", "", "", "start", ""};
        QTest::newRow("a mute's pair, either order; flags as numbers")
            << QStringList{kSnapshot, ownProperties("1", "0"), self("inputMuted", "1"), self("inputMuted", "0"),
                           ownProperties("false", "false")}
            << QStringList{"stop", "micmuted", "", "micunmuted", ""};
        QTest::newRow("a whisper on before and off after the voice state")
            << QStringList{kSnapshot, talk(7, 1, true), talk(7, 1), talk(7, 1, true), talk(7, 0)}
            << QStringList{"stop", "whisper startother", "whisperend", "whisper", "stop whisperend"};
        QTest::newRow("others leaving the view, the user's own move")
            << QStringList{kSnapshot, talk(7, 1, true), moved(7, 5, 0, 1, 2), talk(8, 1), moved(1, 5, 6, 1)}
            << QStringList{"stop", "whisper startother", "stop whisperend", "startother", "stop"};
        QTest::newRow("joins into the user's channel, not by a subscription")
            << QStringList{kSnapshot,         moved(7, 5, 6, 1), moved(7, 6, 5, 2), moved(9, 0, 5, 0),
                           moved(9, 5, 5, 1), moved(1, 5, 6, 1), moved(7, 5, 6, 3), moved(1, 6, 6, 0)}
            << QStringList{"stop", "", "join", "", "", "", "join", ""};
        QTest::newRow("pokes and private messages, not the user's own nor the channel's")
            << QStringList{kSnapshot, text(4, 7), text(4, 1), text(1, 7), text(1, 1), text(2, 7), text(3, 7)}
            << QStringList{"stop", "poke", "", "message", "", "", ""};
        QTest::newRow("a second connection; connections end")
            << QStringList{kSnapshot,    status(3, 1), status(3, 4, 2), talk(9, 1, false, 3), talk(1, 1),
                           status(3, 0), status(1, 0), status(4, 3, 1), status(4, 4),         talk(1, 1, false, 4)}
            << QStringList{"stop", "", "", "startother", "start", "", "stop offline", "", "online", "start"};
        QTest::newRow("mic, sound and away of the connection that holds the microphone")
            << QStringList{kSnapshot,
                           status(2, 4, 3),
                           self("inputMuted", "true", 2),
                           self("outputMuted", "true", 2),
                           self("inputHardware", "false", 1),
                           self("inputHardware", "true", 2),
                           self("inputHardware", "false", 2),
                           talk(3, 2, false, 2)}
            << QStringList{"stop", "", "", "", "", "soundmuted micmuted", "soundunmuted micunmuted", "mute"};

        // Many clients in the first answer: the user (500) muted and away
        // in channel 1, 900 talking; then 7 joins from channel 8.
        QString many = R"(auth {"apiKey":"k","connections":[{"id":"1","clientId":"500","status":4,"clientInfos":[)";
        for (int id = 1; id <= 1000; ++id)
            many += QStringLiteral(R"({"id":%1,"channelId":"%2","properties":{"nickname":"c%1","inputMuted":%3,)"
                                   R"("away":%3,"flagTalking":%4}},)")
                        .arg(id)
                        .arg(id % 20 + 1)
                        .arg(id == 500 ? "true" : "false")
                        .arg(id == 900 ? "true" : "false");
        many.chop(1);
        many += "]}]}";
        QTest::newRow("a snapshot of a thousand clients")
            << QStringList{many, moved(7, 8, 1, 1), talk(900, 0)}
            << QStringList{"stop startother micmuted away", "join", "stop"};
        QTest::newRow("no connection at first, then one")
            << QStringList{R"(auth {"apiKey":"k","currentConnectionId":0,"connections":[]})", status(2, 1),
                           status(2, 4, 6), talk(6, 1, false, 2)}
            << QStringList{"stop offline", "", "online", "start"};
    }
    void framesBecomeThePluginsWords()
    {
        QFETCH(QStringList, frames);
        QFETCH(QStringList, words);
        UserState state;
        QStringList told;
        for (int i = 0; i < frames.size(); ++i) {
            const std::optional<Event> event = parseFrame(frame(frames.at(i)));
            QVERIFY2(event || frames.at(i).startsWith("log") || frames.at(i).startsWith("groupInfo"),
                     qPrintable(frames.at(i)));
            Words said;
            if (i == 0)
                said = state.start(std::get<AuthAnswer>(*event));
            else if (event)
                said = state.onEvent(*event);
            told << texts(said).join(' ');
        }
        QCOMPARE(told, words);
    }

    // Steps: start, open, answer <code> [key], closed, large (closed over
    // a message too large), probe <0|1>; each step's result as describe()
    // writes it, joined by " | ".
    void pairingAndLookingAgain_data()
    {
        columns<QString, QStringList, QString>({"stored", "steps", "results"});
        QTest::newRow("first pairing asks the user once and stores the key")
            << "" << QStringList{"start", "open", "answer 0 K", "answer 0 K"}
            << "connect 0 | auth - ask | store K started | -";
        QTest::newRow("a stored key is sent; another in an answer is stored")
            << "K" << QStringList{"start", "open", "answer 0 L"} << "connect 0 | auth K | store L started";
        QTest::newRow("a close before the answer, the port still listening, is a refusal")
            << "" << QStringList{"start", "open", "closed", "probe 1", "open", "closed", "answer 0 K"}
            << "connect 0 | auth - ask | probe 1000 | refused | - | - | -";
        QTest::newRow("a refused stored key is forgotten")
            << "K" << QStringList{"start", "open", "answer 1", "closed", "open"}
            << "connect 0 | auth K | refused store - | - | -";
        QTest::newRow("TeamSpeak gone before the user decided: asked again, not logged again")
            << "" << QStringList{"start", "open", "closed", "probe 0", "closed", "open", "answer 0 K"}
            << "connect 0 | auth - ask | probe 1000 | connect 1000 | connect 2000 | auth - | store K started";
        QTest::newRow("nobody listening: 1 s doubling to 30 s")
            << "K" << QStringList{"start", "closed", "closed", "closed", "closed", "closed", "closed", "closed"}
            << "connect 0 | connect 1000 | connect 2000 | connect 4000 | connect 8000 | connect 16000 | "
               "connect 30000 | connect 30000";
        QTest::newRow("the end after a grant, then looking again from 1 s with the key")
            << "" << QStringList{"start", "closed", "closed", "open", "answer 0 K", "closed", "closed", "open"}
            << "connect 0 | connect 1000 | connect 2000 | auth - ask | store K started | ended connect 1000 | "
               "connect 2000 | auth K";
        QTest::newRow("a message too large is no refusal")
            << "K" << QStringList{"start", "open", "large", "open", "answer 0 K", "large"}
            << "connect 0 | auth K | connect 1000 | auth K | started | ended connect 1000";
        QTest::newRow("a refusal after a grant ends the client")
            << "K" << QStringList{"start", "open", "answer 0", "answer 5", "closed"}
            << "connect 0 | auth K | started | refused store - ended | -";
    }
    void pairingAndLookingAgain()
    {
        QFETCH(QString, stored);
        QFETCH(QStringList, steps);
        QFETCH(QString, results);
        Pairing pairing(stored);
        QStringList got;
        for (const QString &step : steps) {
            const QStringList w = step.split(' ');
            if (w[0] == "start")
                got << describe(pairing.start());
            else if (w[0] == "open")
                got << describe(pairing.onOpened());
            else if (w[0] == "answer")
                got << describe(pairing.onAnswer(w[1].toInt(), w.value(2)));
            else if (w[0] == "closed" || w[0] == "large")
                got << describe(pairing.onClosed(w[0] == "large"));
            else if (w[0] == "probe")
                got << describe(pairing.onProbe(w[1] == "1"));
            else
                QFAIL(qPrintable(step));
        }
        QCOMPARE(got.join(" | "), results);
    }

    // Against a server in this process: the first pairing stores the key,
    // never logged, in a file for the user alone that keeps its other
    // lines; a ping answered; the next start sends that key; the client's
    // end; 8 MiB read, more closes the connection.
    void theClientOnASocket()
    {
        QTemporaryDir folder;
        g_settingsDir = folder.path() + QLatin1Char('/');
        writeFile(settingsFilePath(), "[colors]\nm_redValue=9\n[teamspeak]\nremoteAppsPort=1\n");
        QWebSocketServer server(QStringLiteral("stand-in"), QWebSocketServer::NonSecureMode);
        QVERIFY(server.listen(QHostAddress::LocalHost));
        Settings settings = readSettings();
        QCOMPARE(settings.port, quint16(1));
        settings.port = server.serverPort();
        const QString key = QStringLiteral("3f1c2a9e-0b7d-4c55-9e21-6d0a8b4f7c13");
        const QByteArray granted = frame(kSnapshot).replace("\"apiKey\":\"k\"", "\"apiKey\":\"" + key.toUtf8() + '"');

        QStringList sent, words;
        QWebSocket *peer = nullptr;
        connect(&server, &QWebSocketServer::newConnection, this, [&] {
            peer = server.nextPendingConnection();
            peer->setParent(&server);
            connect(peer, &QWebSocket::textMessageReceived, this, [&sent](const QString &m) { sent << m; });
        });
        const auto expectAuth = [&](const QString &withKey) {
            QTRY_COMPARE_WITH_TIMEOUT(sent.size(), 1, 5000);
            const QJsonObject auth = QJsonDocument::fromJson(sent.takeFirst().toUtf8()).object();
            QCOMPARE(auth.value("type").toString(), QStringLiteral("auth"));
            QCOMPARE(auth.value("payload").toObject().value("identifier").toString(),
                     QStringLiteral("vossik.colorful.lights"));
            QCOMPARE(auth.value("payload").toObject().value("content").toObject().value("apiKey").toString(), withKey);
        };
        LogCapture log;
        {
            Client client([&settings] { return settings; }, storeKey, 20);
            connect(&client, &Client::word, this,
                    [&words](protocol::CommandWord w) { words << protocol::commandWordText(w); });
            QSignalSpy ended(&client, &Client::ended);
            QCOMPARE(client.status(), Client::Status::Off);
            client.start();
            expectAuth(QString());
            QCOMPARE(client.status(), Client::Status::AskingUser);
            QSignalSpy pong(peer, &QWebSocket::pong);
            peer->ping("still there?");
            QTRY_COMPARE(pong.size(), 1);
            QCOMPARE(pong.at(0).at(1).toByteArray(), QByteArray("still there?"));
            peer->sendTextMessage(QString::fromUtf8(granted));
            QTRY_COMPARE(words, QStringList{"stop"});
            QCOMPARE(std::make_pair(client.status(), client.servers()), std::make_pair(Client::Status::Connected, 1));
            QCOMPARE(readSettings().key, key);
            QVERIFY(readFile(settingsFilePath()).startsWith("[colors]\nm_redValue=9\n[teamspeak]\nremoteAppsKey="));
            // (Its mode, a quit and a return: tst_teamspeak6_session.)
            peer->close();
            QTRY_COMPARE(ended.size(), 1);
        }
        // The next start: the same key, no empty one.
        Client restarted(
            [&server] {
                Settings again = readSettings();
                again.port = server.serverPort();
                return again;
            },
            storeKey, 20);
        QSignalSpy started(&restarted, &Client::word);
        restarted.start();
        expectAuth(key);
        // A message of 8 MiB is read; one byte more closes the connection.
        QByteArray full = granted;
        full.insert(full.size() - 1, ",\"pad\":\"\"");
        full.insert(full.size() - 2, QByteArray(int(Client::kMaxMessageBytes) - full.size(), 'x'));
        QCOMPARE(full.size(), int(Client::kMaxMessageBytes));
        peer->sendTextMessage(QString::fromUtf8(full));
        QTRY_COMPARE(started.size(), 1);
        QSignalSpy endedToo(&restarted, &Client::ended);
        peer->sendTextMessage(QString::fromUtf8(full + ' '));
        QTRY_COMPARE(endedToo.size(), 1);
        expectAuth(key);
        // Refused: "Connect to TeamSpeak" asks the user again, as at first.
        peer->sendTextMessage(QStringLiteral(R"({"type":"auth","status":{"code":1,"message":"no"}})"));
        QTRY_COMPARE(restarted.status(), Client::Status::Refused);
        restarted.pairAgain();
        expectAuth(QString());
        QCOMPARE(restarted.status(), Client::Status::AskingUser);
        QVERIFY(log.lines().filter("larger than").size() == 1);
        QVERIFY(log.lines().filter("allow \"Vossik colorful plugin\"").size() == 2);
        for (const QString &line : log.lines())
            QVERIFY2(!line.contains(key), qPrintable(line));
    }
};

QTEST_MAIN(TestRemoteApps)
#include "tst_remote_apps.moc"
