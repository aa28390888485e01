#include "talk_state.h"

#include <QtTest>

// Events are written "<who>:<status>[@<connection>]", who being "own" or
// another client's id, connection 1 unless given; "reset" is a new init.
class TestTalkState : public QObject
{
    Q_OBJECT

private slots:
    // Others talking while you talk, and the first of two others to stop,
    // are played through the whole chain by tst_plugin_session.
    void wordsForSequences_data()
    {
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<QStringList>("words");  // "-" where an event sends nothing
        QTest::addColumn<int>("countAfter");

        QTest::newRow("muted in the middle of a phase")
            << QStringList{"own:1", "own:2", "own:0", "7:1"} << QStringList{"start", "mute", "stop", "startother"} << 0;
        QTest::newRow("repeated starts count once")
            << QStringList{"own:1", "own:1", "own:1", "own:0", "7:1"} << QStringList{"start", "start", "start", "stop", "startother"}
            << 0;
        QTest::newRow("a stop without a start never goes below 0")
            << QStringList{"own:0", "own:0", "7:1"} << QStringList{"stop", "stop", "startother"} << 0;
        QTest::newRow("your stop shows silence though others still talk")
            << QStringList{"7:1", "own:1", "own:0", "8:1"} << QStringList{"startother", "start", "stop", "startother"} << 0;
        QTest::newRow("unknown statuses change nothing")
            << QStringList{"own:3", "own:-1", "7:2", "7:5", "7:1"} << QStringList{"-", "-", "-", "-", "startother"} << 0;
        QTest::newRow("talking on two connections")
            << QStringList{"own:1@1", "own:1@2", "own:0@1", "7:1", "own:0@2", "7:1"}
            << QStringList{"start", "start", "stop", "-", "stop", "startother"} << 0;
        QTest::newRow("still talking elsewhere") << QStringList{"own:1@1", "own:1@2", "own:0@2"}
                                                 << QStringList{"start", "start", "stop"} << 1;
        QTest::newRow("reset forgets every phase")
            << QStringList{"own:1@1", "own:2@2", "reset", "7:1"} << QStringList{"start", "mute", "-", "startother"} << 0;
    }
    void wordsForSequences()
    {
        QFETCH(QStringList, events);
        QFETCH(QStringList, words);
        QFETCH(int, countAfter);
        TalkState state;
        QStringList sent;
        for (const QString &event : events) {
            if (event == QLatin1String("reset")) {
                state.reset();
                sent << QStringLiteral("-");
                continue;
            }
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
};

QTEST_APPLESS_MAIN(TestTalkState)
#include "tst_talk_state.moc"
