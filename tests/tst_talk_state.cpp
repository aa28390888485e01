#include "talk_state.h"

#include <QtTest>

// Events are written "<who>:<status>[@<connection>]", who being "own" or
// another client's id; connection 1 unless given.
class TestTalkState : public QObject
{
    Q_OBJECT

private slots:
    void wordsForSequences_data()
    {
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<QStringList>("words");  // "-" where an event sends nothing
        QTest::addColumn<int>("countAfter");

        QTest::newRow("own talk phase") << QStringList{"own:1", "own:0"} << QStringList{"start", "stop"} << 0;
        QTest::newRow("speaking while muted") << QStringList{"own:2", "own:0"} << QStringList{"mute", "stop"} << 0;
        QTest::newRow("muted in the middle of a phase")
            << QStringList{"own:1", "own:2", "own:0", "7:1"} << QStringList{"start", "mute", "stop", "startother"} << 0;
        QTest::newRow("repeated starts count once")
            << QStringList{"own:1", "own:1", "own:1", "own:0", "7:1"} << QStringList{"start", "start", "start", "stop", "startother"}
            << 0;
        QTest::newRow("a stop without a start never goes below 0")
            << QStringList{"own:0", "own:0", "7:1"} << QStringList{"stop", "stop", "startother"} << 0;
        QTest::newRow("others while you talk send nothing")
            << QStringList{"own:1", "7:1", "7:0", "own:0"} << QStringList{"start", "-", "-", "stop"} << 0;
        QTest::newRow("your stop shows silence though others still talk")
            << QStringList{"7:1", "own:1", "own:0", "8:1"} << QStringList{"startother", "start", "stop", "startother"} << 0;
        QTest::newRow("the first of two others to stop sends stop")
            << QStringList{"7:1", "8:1", "7:0", "8:0"} << QStringList{"startother", "startother", "stop", "stop"} << 0;
        QTest::newRow("unknown statuses change nothing")
            << QStringList{"own:3", "own:-1", "7:2", "7:5", "7:1"} << QStringList{"-", "-", "-", "-", "startother"} << 0;
        QTest::newRow("talking on two connections")
            << QStringList{"own:1@1", "own:1@2", "own:0@1", "7:1", "own:0@2", "7:1"}
            << QStringList{"start", "start", "stop", "-", "stop", "startother"} << 0;
        QTest::newRow("still talking elsewhere") << QStringList{"own:1@1", "own:1@2", "own:0@2"}
                                                 << QStringList{"start", "start", "stop"} << 1;
    }
    void wordsForSequences()
    {
        QFETCH(QStringList, events);
        QFETCH(QStringList, words);
        QFETCH(int, countAfter);
        TalkState state;
        QStringList sent;
        for (const QString &event : events) {
            const QStringList whoAndRest = event.split(QLatin1Char(':'));
            const QStringList statusAndConnection = whoAndRest.at(1).split(QLatin1Char('@'));
            const uint64 connection = statusAndConnection.size() > 1 ? statusAndConnection.at(1).toULongLong() : 1;
            const std::optional<CommandWord> word = state.onTalkStatus(connection, statusAndConnection.at(0).toInt(),
                                                                       whoAndRest.at(0) == QLatin1String("own"));
            sent << (word ? QString::fromLatin1(commandWordText(*word)) : QStringLiteral("-"));
            QVERIFY(state.ownTalkCount() >= 0);
        }
        QCOMPARE(sent, words);
        QCOMPARE(state.ownTalkCount(), countAfter);
    }

    void resetForgetsEverything()
    {
        TalkState state;
        state.onTalkStatus(1, STATUS_TALKING, true);
        state.reset();
        QVERIFY(!state.ownTalking());
        QCOMPARE(state.ownTalkCount(), 0);
        QCOMPARE(state.onTalkStatus(1, STATUS_TALKING, false), std::optional<CommandWord>(CommandWord::StartOther));
    }
};

QTEST_APPLESS_MAIN(TestTalkState)
#include "tst_talk_state.moc"
