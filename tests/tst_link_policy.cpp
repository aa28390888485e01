// The link's two policies, apart from any thread or socket: which words a
// full queue gives up, and when the link looks for the helper and starts it.
#include "link_schedule.h"
#include "test_support.h"
#include "word_queue.h"

#include <QtTest>

using protocol::commandWordText;

class TestLinkPolicy : public QObject
{
    Q_OBJECT

private slots:
    void aFullQueueKeepsWhatMatters_data()
    {
        // clang-format off
        // pushed: "^word" puts it in front
        columns<int, QStringList, QStringList, int>({"capacity", "pushed", "kept", "dropped"});
        QTest::newRow("the oldest talk word goes")
            << 4 << QStringList{"wnd", "start", "stop", "mute", "startother"}
            << QStringList{"wnd", "stop", "mute", "startother"} << 1;
        QTest::newRow("the newest state, a wnd and shutdown stay")
            << 4 << QStringList{"start", "wnd", "stop", "mute", "shutdown", "lightsoff", "startother"}
            << QStringList{"wnd", "shutdown", "lightsoff", "startother"} << 3;
        QTest::newRow("a wnd that another follows goes once talk words are spent")
            << 4 << QStringList{"wnd", "stop", "wnd", "lightson", "wnd"} << QStringList{"stop", "wnd", "lightson", "wnd"}
            << 1;
        QTest::newRow("a repeated shutdown is the last to go")
            << 4 << QStringList{"shutdown", "stop", "wnd", "lightson", "shutdown"}
            << QStringList{"stop", "wnd", "lightson", "shutdown"} << 1;
        QTest::newRow("a resent state in front is superseded by a queued one")
            << 4 << QStringList{"wnd", "stop", "lightson", "shutdown", "^start"}
            << QStringList{"wnd", "stop", "lightson", "shutdown"} << 1;
        QTest::newRow("a flood of talk words keeps a queued poke, message and join")
            << 4 << QStringList{"poke", "message", "join", "start", "stop", "start", "whisper", "whisperend"}
            << QStringList{"poke", "message", "join", "whisperend"} << 4;
        QTest::newRow("a newer poke supersedes an older one, after a repeated dismiss")
            << 4 << QStringList{"poke", "dismiss", "poke", "dismiss", "join", "poke"}
            << QStringList{"poke", "dismiss", "join", "poke"} << 2;
        QTest::newRow("a queue too small for one of each keeps the signals and shutdown")
            << 1 << QStringList{"lightsoff", "poke", "message", "join", "shutdown", "wnd"}
            << QStringList{"poke", "message", "join", "shutdown"} << 2;
        // clang-format on
    }
    void aFullQueueKeepsWhatMatters()
    {
        QFETCH(int, capacity);
        QFETCH(QStringList, pushed);
        QFETCH(QStringList, kept);
        QFETCH(int, dropped);
        WordQueue queue(static_cast<std::size_t>(capacity));
        for (const QString &word : pushed) {
            const bool front = word.startsWith(QLatin1Char('^'));
            const auto command = protocol::commandWordFromText(word.mid(front ? 1 : 0).toStdU16String());
            QVERIFY2(command, qPrintable(word));
            if (front)
                queue.pushFront(*command);
            else
                queue.push(*command);
        }
        QCOMPARE(int(queue.dropped()), dropped);
        QStringList left;
        while (!queue.empty())
            left << QString::fromLatin1(commandWordText(queue.pop()));
        QCOMPARE(left, kept);
    }

    // Steps are "<ms> <what>": what a connection attempt found (listening,
    // busy, nobody), a start (started, or failed when it could not run),
    // or a lost connection; the state is read at the last step's time as
    // "next=<ms> due=<0|1> starting=<0|1> gaveUp=<0|1>".
    void whenToLookAndWhenToStart_data()
    {
        // clang-format off
        columns<QStringList, QString>({"steps", "state"});
        QTest::newRow("nobody at first: start at once") << QStringList{"0 nobody"}
                                                        << "next=1000 due=1 starting=0 gaveUp=0";
        QTest::newRow("a started helper is looked for often")
            << QStringList{"0 nobody", "0 started", "20 nobody"} << "next=40 due=0 starting=1 gaveUp=0";
        QTest::newRow("after five seconds, once a second")
            << QStringList{"0 nobody", "0 started", "5000 nobody"} << "next=6000 due=0 starting=0 gaveUp=0";
        QTest::newRow("a start that failed is not waited for")
            << QStringList{"0 nobody", "0 failed", "20 nobody"} << "next=1020 due=0 starting=0 gaveUp=0";
        QTest::newRow("a lost helper is looked for at once")
            << QStringList{"0 nobody", "0 started", "210 listening", "3000 lost"} << "next=3000 due=0 starting=0 gaveUp=0";
        QTest::newRow("and started again ten seconds after the last start")
            << QStringList{"0 nobody", "0 started", "210 listening", "3000 lost", "3000 nobody"}
            << "next=4000 due=0 starting=0 gaveUp=0";
        QTest::newRow("the restart is not missed between two looks")
            << QStringList{"0 nobody", "0 started", "210 listening", "9500 lost", "9500 nobody"}
            << "next=10000 due=0 starting=0 gaveUp=0";
        QTest::newRow("due at ten seconds")
            << QStringList{"0 nobody", "0 started", "210 listening", "9500 lost", "10000 nobody"}
            << "next=10000 due=1 starting=0 gaveUp=0";
        QTest::newRow("a busy server is no reason to start")
            << QStringList{"0 busy"} << "next=20 due=0 starting=0 gaveUp=0";
        QTest::newRow("five fruitless starts: no more")
            << QStringList{"0 started", "10000 started", "20000 started", "30000 failed", "40000 started", "50000 nobody"}
            << "next=51000 due=0 starting=0 gaveUp=1";
        QTest::newRow("a connection resets the count")
            << QStringList{"0 started", "10000 started", "20000 started", "30000 started", "30200 listening",
                           "40000 started", "50000 nobody"}
            << "next=50000 due=1 starting=0 gaveUp=0";
        // clang-format on
    }
    void whenToLookAndWhenToStart()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, state);
        LinkSchedule schedule;
        std::int64_t now = 0;
        for (const QString &step : steps) {
            const QStringList parts = step.split(QLatin1Char(' '));
            now = parts.at(0).toLongLong();
            const QString what = parts.at(1);
            static const QHash<QString, LinkSchedule::Found> found{{"listening", LinkSchedule::Found::Listening},
                                                                   {"busy", LinkSchedule::Found::Busy},
                                                                   {"nobody", LinkSchedule::Found::Nobody}};
            if (found.contains(what))
                schedule.attempted(now, found.value(what));
            else if (what == QLatin1String("lost"))
                schedule.lost(now);
            else
                schedule.started(now, what == QLatin1String("started"));
        }
        QCOMPARE(QStringLiteral("next=%1 due=%2 starting=%3 gaveUp=%4")
                     .arg(schedule.nextAttemptAt())
                     .arg(schedule.startDue(now))
                     .arg(schedule.helperStarting(now))
                     .arg(schedule.gaveUp()),
                 state);
    }
};

QTEST_APPLESS_MAIN(TestLinkPolicy)
#include "tst_link_policy.moc"
