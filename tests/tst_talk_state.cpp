#include "client_facts.h"
#include "plugin_core.h"
#include "test_support.h"
#include "ts3_plugin_exports.h"

#include <QtTest>

#include <functional>
#include <map>

using protocol::CommandWord;
using protocol::commandWordText;

namespace {

// The client the entry points below talk to: the user is client 5, by
// default on connections 1 and 2, both established, with nothing muted, in
// channel 2 and 3, and no tab shown.
constexpr anyID kOwnId = 5;
using Connections = std::map<uint64, ClientFacts::Connection>;
struct FakeClient {
    bool idFails = false;
    std::map<uint64, std::optional<uint64>> ownChannels{{1, 2}, {2, 3}};  // nothing: the client cannot say
    uint64 current = 0;
    std::optional<Connections> connections =  // nothing: the client cannot list them
        Connections{{1, {STATUS_CONNECTION_ESTABLISHED}}, {2, {STATUS_CONNECTION_ESTABLISHED}}};
};
FakeClient s_client;
QStringList s_words;  // handed to the link since the event began

// "<connection>=<status><m|s|a: mic or sound muted, away>,...", or "?" for nothing.
std::optional<Connections> connectionsFrom(const QString &list)
{
    if (list == "?")
        return std::nullopt;
    Connections connections;
    for (const QString &item : list.split(',')) {
        const QString state = item.section('=', 1);
        connections[item.section('=', 0, 0).toULongLong()] = {state.left(1).toInt(), state.contains('m'),
                                                              state.contains('s'), state.contains('a')};
    }
    return connections;
}

TS3Functions fakeClientFunctions()
{
    TS3Functions functions{};
    functions.freeMemory = [](void *pointer) {
        std::free(pointer);
        return 0u;
    };
    functions.getClientID = [](uint64, anyID *result) {
        *result = kOwnId;
        return s_client.idFails ? 1u : 0u;
    };
    functions.getChannelOfClient = [](uint64 connection, anyID client, uint64 *result) {
        const std::optional<uint64> channel = s_client.ownChannels[connection];
        if (client != kOwnId || !channel)
            return 1u;
        *result = *channel;
        return 0u;
    };
    functions.getCurrentServerConnectionHandlerID = [] { return s_client.current; };
    functions.getServerConnectionHandlerList = [](uint64 **result) {
        if (!s_client.connections)
            return 1u;
        *result = static_cast<uint64 *>(std::calloc(s_client.connections->size() + 1, sizeof(uint64)));
        uint64 *next = *result;
        for (const auto &connection : *s_client.connections)
            *next++ = connection.first;
        return 0u;
    };
    functions.getConnectionStatus = [](uint64 connection, int *result) {
        *result = s_client.connections->at(connection).status;
        return 0u;
    };
    functions.getClientSelfVariableAsInt = [](uint64 connection, size_t flag, int *result) {
        const ClientFacts::Connection &self = s_client.connections->at(connection);
        *result = flag == CLIENT_INPUT_MUTED    ? self.micMuted
                  : flag == CLIENT_OUTPUT_MUTED ? self.soundMuted
                                                : self.away;
        return 0u;
    };
    return functions;
}

}  // namespace

class TestTalkState : public QObject
{
    Q_OBJECT

    PrivateRuntimeDir m_runtime;  // the plugin's link finds no helper there

private slots:
    // The plugin's words for the client's events, through the exported
    // entry points: its talk state, facts, whispers and attention signals.
    // Events are "talk:<who>:<status>" ('w' after the status: whispered to
    // the user), "poke:<who>", "msg:<target mode>:<who>" ('!' after the
    // sender: ignored by the user), "move", "moved", "timeout", "kick" (from
    // the channel) or "sub" (a subscription, visibility 0) as
    // "<kind>:<who>:<old channel>><new channel>[/<visibility, default 1>]",
    // "status:<connection status>", "self:<flag>=<value>", "tab:<connection>"
    // (the tab shown), "chan:<channel>|?" (what the client answers for the
    // user's channel from now on), "noid"/"id" (getClientID fails from now
    // on, or works again), "dismiss" (the hotkey), "shutdown" and "init", or
    // "init:<tab>:<connections>" (see connectionsFrom) for an init on a
    // client so; each on connection 1 unless "@<connection>" follows. Who is
    // "own" or another client's id. Every row starts with an init on the
    // default client.
    void wordsForSequences_data()
    {
        // clang-format off
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<QStringList>("words");  // the words of each event, joined by "+"; "-" for none

        QTest::newRow("the first of two others to stop")
            << QStringList{"talk:7:1", "talk:8:1", "talk:7:0", "talk:8:0"} << QStringList{"startother", "-", "-", "stop"};
        QTest::newRow("you stop while others talk")
            << QStringList{"talk:7:1", "talk:own:1", "talk:8:1", "talk:own:0", "talk:7:0", "talk:8:0"}
            << QStringList{"startother", "start", "-", "startother", "-", "stop"};
        QTest::newRow("your connection ends while you talk")
            << QStringList{"talk:own:1@2", "talk:7:1", "status:0@2", "talk:7:0", "talk:7:1"}
            << QStringList{"start", "-", "startother", "stop", "startother"};
        QTest::newRow("muted, and words only on a change")
            << QStringList{"talk:own:1", "talk:own:1", "talk:own:2", "talk:own:2", "talk:own:0", "talk:own:0", "talk:own:2"}
            << QStringList{"start", "-", "mute", "-", "stop", "-", "mute"};
        QTest::newRow("heard on one connection, muted on another")
            << QStringList{"talk:own:2@1", "talk:own:1@2", "talk:own:0@2", "talk:own:0@1"}
            << QStringList{"mute", "start", "mute", "stop"};
        QTest::newRow("talking on two connections")
            << QStringList{"talk:own:1@1", "talk:own:1@2", "talk:own:0@1", "talk:7:1", "talk:own:0@2", "talk:7:0"}
            << QStringList{"start", "-", "-", "-", "startother", "stop"};
        QTest::newRow("the same id on two connections is two people")
            << QStringList{"talk:7:1@1", "talk:7:1@2", "talk:7:0@1", "status:0@2", "talk:7:1@2"}
            << QStringList{"startother", "-", "-", "stop", "startother"};
        QTest::newRow("only a disconnect forgets; with none left connected, offline")
            << QStringList{"talk:own:1", "talk:7:1", "status:1", "status:4", "status:-1", "status:0@2", "talk:own:0",
                           "status:0", "talk:own:0"}
            << QStringList{"start", "-", "-", "-", "-", "offline", "startother", "stop", "-"};
        QTest::newRow("another who moves or is kicked stops counting")
            << QStringList{"talk:7:1", "talk:8:1", "move:7:1>4", "kick:8:3>1@2", "kick:8:1>4", "talk:9:1",
                           "move:own:3>4@2"}
            << QStringList{"startother", "-", "-", "-", "stop", "startother", "-"};
        QTest::newRow("your move forgets that connection's others, not your talk")
            << QStringList{"talk:7:1@1", "talk:8:1@2", "talk:own:1@1", "move:own:2>5@1", "talk:own:0@1", "move:own:3>6@2"}
            << QStringList{"startother", "-", "start", "-", "startother", "stop"};
        QTest::newRow("nothing to forget, unknown statuses")
            << QStringList{"talk:own:0", "talk:7:0", "move:7:1>4", "status:0", "talk:own:3", "talk:own:-1", "talk:7:2",
                           "talk:7:5"}
            << QStringList{"-", "-", "-", "-", "-", "-", "-", "-"};
        QTest::newRow("a new init forgets everything")
            << QStringList{"talk:own:1@1", "talk:7:1@2", "shutdown", "init", "talk:own:0@1", "talk:7:0@2", "talk:8:1"}
            << QStringList{"start", "-", "-", "stop", "-", "-", "startother"};
        QTest::newRow("a plain session: facts only of a connection's state")
            << QStringList{"init:1:1=4", "self:10=1", "self:5=0", "status:3", "status:4"}
            << QStringList{"stop", "-", "-", "offline", "online"};
        QTest::newRow("the facts that hold at init, and only those")
            << QStringList{"init:2:1=4m,2=4sa", "init:1:1=4m,2=4sa", "init:1:1=0m,2=2", "init:0:?"}
            << QStringList{"stop+soundmuted+away", "stop+micmuted", "stop+offline", "stop"};
        QTest::newRow("the facts are those of the tab shown")
            << QStringList{"init:1:1=4,2=4", "self:5=1@2", "self:6=1", "tab:2", "tab:3", "tab:1"}
            << QStringList{"stop", "-", "soundmuted", "soundunmuted+micmuted", "micunmuted", "soundmuted"};
        QTest::newRow("facts' values as the client writes them")
            << QStringList{"init:1:1=4", "self:38=1", "self:38=1", "self:38=x", "self:38=", "self:38=0", "self:5=2"}
            << QStringList{"stop", "away", "-", "-", "-", "back", "micmuted"};
        QTest::newRow("a disconnect forgets that connection's facts")
            << QStringList{"init:1:1=4msa,2=4", "status:0", "self:5=1", "status:0@2", "status:4@2"}
            << QStringList{"stop+soundmuted+micmuted+away", "soundunmuted+micunmuted+back", "micmuted", "offline", "online"};
        QTest::newRow("unlisted connections count once a status comes")
            << QStringList{"init:0:?", "status:1", "status:4@2", "status:0@2"}
            << QStringList{"stop", "offline", "online", "offline"};
        QTest::newRow("pokes from others, unless ignored")
            << QStringList{"poke:7", "poke:own", "poke:7!", "poke:8@2", "dismiss"}
            << QStringList{"poke", "-", "-", "poke", "dismiss"};
        QTest::newRow("private messages from others, unless ignored")
            << QStringList{"msg:1:7", "msg:2:7", "msg:3:7", "msg:1:own", "msg:1:7!", "msg:1:8@2"}
            << QStringList{"message", "-", "-", "-", "-", "message"};
        QTest::newRow("nothing while the client cannot say who you are")
            << QStringList{"noid", "poke:7", "msg:1:7", "move:7:1>2", "id", "move:8:1>2"}
            << QStringList{"-", "-", "-", "-", "-", "join"};
        QTest::newRow("nothing before init and after shutdown")
            << QStringList{"shutdown", "poke:7", "msg:1:7", "move:7:1>2", "init", "poke:7"}
            << QStringList{"-", "-", "-", "-", "stop", "poke"};
        QTest::newRow("whispers on two connections, ending in either order")
            << QStringList{"talk:7:1w", "talk:8:1w@2", "talk:7:0", "talk:8:0@2",
                           "talk:8:1w@2", "talk:7:1w", "talk:8:0@2", "talk:7:0"}
            << QStringList{"whisper+startother", "-", "-", "stop+whisperend",
                           "whisper+startother", "-", "-", "stop+whisperend"};
        QTest::newRow("a whisper ends with channel talk, out of view, by a kick or with the connection")
            << QStringList{"talk:7:1w", "talk:7:1", "talk:7:1w", "move:7:2>3", "move:7:3>4/2",
                           "talk:8:1w@2", "kick:8:3>1@2", "talk:9:1w@2", "status:0@2"}
            << QStringList{"whisper+startother", "whisperend", "whisper", "stop", "whisperend",
                           "whisper+startother", "stop+whisperend", "whisper+startother", "stop+whisperend"};
        QTest::newRow("others entering your channel join; leaving it or moving elsewhere does not")
            << QStringList{"move:7:1>2", "moved:8:3>2", "move:9:0>2/0", "timeout:7:2>0/2", "move:8:2>3",
                           "move:10:3>4", "kick:11:3>2", "move:12:4>3@2"}
            << QStringList{"join", "join", "join", "-", "-", "-", "-", "join"};
        QTest::newRow("your own moves change your channel and are no joins")
            << QStringList{"move:own:2>4", "move:7:2>4", "move:8:4>2", "moved:own:4>2", "move:9:1>2",
                           "kick:own:2>1", "move:10:3>1", "move:own:1>0/2", "move:11:3>1"}
            << QStringList{"-", "join", "-", "-", "join", "-", "join", "-", "-"};
        QTest::newRow("clients that come into view by subscription are no joins")
            << QStringList{"sub:7:0>2", "move:own:2>3", "sub:9:0>3", "move:10:2>3"}
            << QStringList{"-", "-", "-", "join"};
        QTest::newRow("your channel is asked at init, when a connection comes up, and where unknown")
            << QStringList{"chan:4@2", "move:7:1>3@2", "status:0@2", "chan:5@2", "status:4@2", "chan:7@2",
                           "move:8:1>5@2", "chan:?@3", "move:7:1>6@3", "chan:6@3", "move:8:1>6@3"}
            << QStringList{"-", "join", "-", "-", "-", "-", "join", "-", "-", "-", "join"};
        // clang-format on
    }
    void wordsForSequences()
    {
        QFETCH(QStringList, events);
        QFETCH(QStringList, words);
        s_client = FakeClient();
        plugin::setFunctionPointers(fakeClientFunctions());
        plugin::setWordObserver([](CommandWord word) { s_words << QString::fromLatin1(commandWordText(word)); });
        QCOMPARE(ts3plugin_init(), 0);
        QStringList sent;
        for (const QString &event : events) {
            s_words.clear();
            const uint64 connection = event.contains('@') ? event.section('@', 1).toULongLong() : 1;
            const QStringList parts = event.section('@', 0, 0).remove('!').split(':');
            const QString kind = parts.at(0), who = parts.value(kind == "msg" ? 2 : 1), last = parts.value(2);
            const anyID client = who == "own" ? kOwnId : anyID(who.toUInt()), mode = anyID(parts.value(1).toUInt());
            const bool ignored = event.contains('!'), whispered = last.endsWith('w');
            // A move's "<old>><new>[/<visibility, default 1>]"
            const uint64 from = last.section('>', 0, 0).toULongLong();
            const uint64 to = last.section('>', 1).section('/', 0, 0).toULongLong();
            const int visibility = last.contains('/') ? last.section('/', 1).toInt() : 1;
            if (client == kOwnId && kind != "sub" && last.contains('>'))
                s_client.ownChannels[connection] = to;  // the client knows where you went
            const std::optional<uint64> channel = who == "?" ? std::nullopt : std::optional(who.toULongLong());
            const int flag = who.section('=', 0, 0).toInt();  // "self:<flag>=<value>"
            const QByteArray value = who.section('=', 1).toLatin1();
            const QHash<QString, std::function<void()>> calls{
                {"talk",
                 [&] {
                     ts3plugin_onTalkStatusChangeEvent(connection, last.chopped(whispered).toInt(), whispered, client);
                 }},
                {"poke", [&] { QCOMPARE(ts3plugin_onClientPokeEvent(connection, client, "", "", "", ignored), 0); }},
                {"msg",
                 [&] {
                     QCOMPARE(ts3plugin_onTextMessageEvent(connection, mode, kOwnId, client, "", "", "", ignored), 0);
                 }},
                {"move", [&] { ts3plugin_onClientMoveEvent(connection, client, from, to, visibility, ""); }},
                {"moved",
                 [&] { ts3plugin_onClientMoveMovedEvent(connection, client, from, to, visibility, 3, "", "", ""); }},
                {"timeout", [&] { ts3plugin_onClientMoveTimeoutEvent(connection, client, from, to, visibility, ""); }},
                {"kick",
                 [&] {
                     ts3plugin_onClientKickFromChannelEvent(connection, client, from, to, visibility, 3, "", "", "");
                 }},
                {"sub",
                 [&] { ts3plugin_onClientMoveSubscriptionEvent(connection, client, from, to, ENTER_VISIBILITY); }},
                {"status", [&] { ts3plugin_onConnectStatusChangeEvent(connection, who.toInt(), 0); }},
                {"self", [&] { ts3plugin_onClientSelfVariableUpdateEvent(connection, flag, "", value.constData()); }},
                {"tab", [&] { ts3plugin_currentServerConnectionChanged(who.toULongLong()); }},
                {"chan", [&] { s_client.ownChannels[connection] = channel; }},
                {"noid", [] { s_client.idFails = true; }},
                {"id", [] { s_client.idFails = false; }},
                {"dismiss", [] { ts3plugin_onHotkeyEvent("vossik_dismiss_signal"); }},
                {"init",
                 [&] {
                     if (parts.size() > 1) {  // a second init without shutdown starts afresh
                         s_client.current = who.toULongLong();
                         s_client.connections = connectionsFrom(last);
                     }
                     QCOMPARE(ts3plugin_init(), 0);
                 }},
                {"shutdown", [] { ts3plugin_shutdown(); }}};
            QVERIFY2(calls.contains(kind), qPrintable(event));
            calls.value(kind)();
            sent << (s_words.isEmpty() ? QStringLiteral("-") : s_words.join(QLatin1Char('+')));
        }
        ts3plugin_shutdown();
        plugin::setWordObserver(nullptr);
        QCOMPARE(sent, words);
    }
};

QTEST_APPLESS_MAIN(TestTalkState)
#include "tst_talk_state.moc"
