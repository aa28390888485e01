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
};

QTEST_APPLESS_MAIN(TestTalkState)
#include "tst_talk_state.moc"
