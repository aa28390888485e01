#include "client_facts.h"
#include "talk_state.h"

#include <QtTest>

using protocol::CommandWord;
using protocol::commandWordText;

// Events are written "<who>:<status>" (a talk status; who is "own" or
// another client's id), "status:<connection status>" or "move:<who>" (every
// move and kick event is one), each on connection 1 unless "@<connection>"
// follows; "reset" is a new init.
class TestTalkState : public QObject
{
    Q_OBJECT

private slots:
    void wordsForSequences_data()
    {
        // clang-format off
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<QStringList>("words");  // "-" where an event sends nothing

        QTest::newRow("the first of two others to stop")
            << QStringList{"7:1", "8:1", "7:0", "8:0"} << QStringList{"startother", "-", "-", "stop"};
        QTest::newRow("you stop while others talk")
            << QStringList{"7:1", "own:1", "8:1", "own:0", "7:0", "8:0"}
            << QStringList{"startother", "start", "-", "startother", "-", "stop"};
        QTest::newRow("your connection ends while you talk")
            << QStringList{"own:1@2", "7:1@1", "status:0@2", "7:0@1", "7:1@1"}
            << QStringList{"start", "-", "startother", "stop", "startother"};
        QTest::newRow("muted, and words only on a change")
            << QStringList{"own:1", "own:1", "own:2", "own:2", "own:0", "own:0", "own:2"}
            << QStringList{"start", "-", "mute", "-", "stop", "-", "mute"};
        QTest::newRow("heard on one connection, muted on another")
            << QStringList{"own:2@1", "own:1@2", "own:0@2", "own:0@1"} << QStringList{"mute", "start", "mute", "stop"};
        QTest::newRow("talking on two connections")
            << QStringList{"own:1@1", "own:1@2", "own:0@1", "7:1", "own:0@2", "7:0"}
            << QStringList{"start", "-", "-", "-", "startother", "stop"};
        QTest::newRow("the same id on two connections is two people")
            << QStringList{"7:1@1", "7:1@2", "7:0@1", "status:0@2", "7:1@2"}
            << QStringList{"startother", "-", "-", "stop", "startother"};
        QTest::newRow("only a disconnect forgets")
            << QStringList{"own:1", "7:1", "status:1", "status:4", "status:-1", "status:0@2", "own:0", "status:0", "own:0"}
            << QStringList{"start", "-", "-", "-", "-", "-", "startother", "stop", "-"};
        QTest::newRow("another who moves or is kicked stops counting")
            << QStringList{"7:1", "8:1", "move:7", "move:8@2", "move:8", "9:1", "move:own@2"}
            << QStringList{"startother", "-", "-", "-", "stop", "startother", "-"};
        QTest::newRow("your move forgets that connection's others, not your talk")
            << QStringList{"7:1@1", "8:1@2", "own:1@1", "move:own@1", "own:0@1", "move:own@2"}
            << QStringList{"startother", "-", "start", "-", "startother", "stop"};
        QTest::newRow("nothing to forget, unknown statuses")
            << QStringList{"own:0", "7:0", "move:7", "status:0", "own:3", "own:-1", "7:2", "7:5"}
            << QStringList{"-", "-", "-", "-", "-", "-", "-", "-"};
        QTest::newRow("reset forgets everything")
            << QStringList{"own:1@1", "7:1@2", "reset", "own:0@1", "7:0@2", "8:1"}
            << QStringList{"start", "-", "-", "-", "-", "startother"};
        // clang-format on
    }
    void wordsForSequences()
    {
        QFETCH(QStringList, events);
        QFETCH(QStringList, words);
        TalkState state;
        QStringList sent;
        for (const QString &event : events) {
            std::optional<CommandWord> word;
            const QStringList kindAndRest = event.split(QLatin1Char(':'));
            const QStringList valueAndConnection = kindAndRest.value(1).split(QLatin1Char('@'));
            const uint64 connection = valueAndConnection.value(1, QStringLiteral("1")).toULongLong();
            const QString kind = kindAndRest.at(0), value = valueAndConnection.at(0);
            if (kind == QLatin1String("reset"))
                state.reset();
            else if (kind == QLatin1String("status"))
                word = state.onConnectStatus(connection, value.toInt());
            else if (kind == QLatin1String("move"))
                word = state.onClientMove(connection, anyID(value.toUInt()), value == QLatin1String("own"));
            else
                word =
                    state.onTalkStatus(connection, anyID(kind.toUInt()), value.toInt(), kind == QLatin1String("own"));
            sent << (word ? QString::fromLatin1(commandWordText(*word)) : QStringLiteral("-"));
        }
        QCOMPARE(sent, words);
    }

    // Events are "self:<flag>=<value>", "status:<status>" (each on
    // connection 1 unless "@<connection>" follows) or "tab:<connection>";
    // "init:<tab>:<connection>=<status><m|s|a flags>,..." starts from a
    // client state ("init:<tab>:?" when the client could not list its
    // connections). Every row starts with an init.
    void factWordsForSequences_data()
    {
        // clang-format off
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<QStringList>("words");  // the words of each event, joined by "+"; "-" for none

        QTest::newRow("a plain session says nothing")
            << QStringList{"init:1:1=4", "self:10=1", "self:5=0", "status:3", "status:4"}
            << QStringList{"-", "-", "-", "offline", "online"};
        QTest::newRow("what holds at init, and only that")
            << QStringList{"init:2:1=4m,2=4sa", "init:1:1=4m,2=4sa", "init:1:1=0m,2=2", "init:0:?"}
            << QStringList{"soundmuted+away", "micmuted", "offline", "-"};
        QTest::newRow("the facts are those of the tab shown")
            << QStringList{"init:1:1=4,2=4", "self:5=1@2", "self:6=1", "tab:2", "tab:3", "tab:1"}
            << QStringList{"-", "-", "soundmuted", "soundunmuted+micmuted", "micunmuted", "soundmuted"};
        QTest::newRow("values as the client writes them")
            << QStringList{"init:1:1=4", "self:38=1", "self:38=1", "self:38=x", "self:38=", "self:38=0", "self:5=2"}
            << QStringList{"-", "away", "-", "-", "-", "back", "micmuted"};
        QTest::newRow("a disconnect forgets that connection's facts")
            << QStringList{"init:1:1=4msa,2=4", "status:0", "self:5=1", "status:0@2", "status:4@2"}
            << QStringList{"soundmuted+micmuted+away", "soundunmuted+micunmuted+back", "micmuted", "offline", "online"};
        QTest::newRow("unlisted connections count once a status comes")
            << QStringList{"init:0:?", "status:1", "status:4@2", "status:0@2"}
            << QStringList{"-", "offline", "online", "offline"};
        // clang-format on
    }
    void factWordsForSequences()
    {
        QFETCH(QStringList, events);
        QFETCH(QStringList, words);
        ClientFacts facts;
        QStringList sent;
        for (const QString &event : events) {
            std::vector<CommandWord> told;
            const QString kind = event.section(QLatin1Char(':'), 0, 0);
            const QString rest = event.section(QLatin1Char(':'), 1);
            const uint64 connection = rest.section(QLatin1Char('@'), 1).toULongLong();
            const QString value = rest.section(QLatin1Char('@'), 0, 0);
            if (kind == QLatin1String("init")) {
                ClientFacts::Snapshot snapshot;
                snapshot.current = value.section(QLatin1Char(':'), 0, 0).toULongLong();
                const QString list = value.section(QLatin1Char(':'), 1);
                if (list != QLatin1String("?")) {
                    snapshot.connections.emplace();
                    for (const QString &item : list.split(QLatin1Char(','))) {
                        ClientFacts::Connection c;
                        const QString state = item.section(QLatin1Char('='), 1);
                        c.status = state.left(1).toInt();
                        c.micMuted = state.contains(QLatin1Char('m'));
                        c.soundMuted = state.contains(QLatin1Char('s'));
                        c.away = state.contains(QLatin1Char('a'));
                        (*snapshot.connections)[item.section(QLatin1Char('='), 0, 0).toULongLong()] = c;
                    }
                }
                told = facts.start(snapshot);
            } else if (kind == QLatin1String("self")) {
                told = facts.onSelfVariable(connection ? connection : 1, value.section(QLatin1Char('='), 0, 0).toInt(),
                                            value.section(QLatin1Char('='), 1).toLatin1().constData());
            } else if (kind == QLatin1String("status")) {
                told = facts.onConnectStatus(connection ? connection : 1, value.toInt());
            } else {
                told = facts.onCurrentConnection(value.toULongLong());
            }
            QStringList texts;
            for (const CommandWord word : told)
                texts << QString::fromLatin1(commandWordText(word));
            sent << (texts.isEmpty() ? QStringLiteral("-") : texts.join(QLatin1Char('+')));
        }
        QCOMPARE(sent, words);
    }
};

QTEST_APPLESS_MAIN(TestTalkState)
#include "tst_talk_state.moc"
