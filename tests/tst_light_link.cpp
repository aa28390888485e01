// The helper's link to the device service over window messages: the
// handshake, which ATTACH counts, a service found again, and how often it
// is looked for.
#include "attach_event_filter.h"
#include "light_control_api.h"
#include "message_endpoint.h"
#include "search_schedule.h"
#include "test_support.h"

#include <QTimer>
#include <QWidget>
#include <QtTest>

// (time, the delay asked for then); a delay of -1 restarts the search there.
using Steps = QList<QPair<qint64, qint64>>;

class TestLightLink : public QObject
{
    Q_OBJECT

private:
    PrivateRuntimeDir m_runtime;
    AttachEventFilter m_filter;
    QWidget *m_helperWindow = nullptr;
    QWidget *m_serviceWindow = nullptr;
    platform::Handle m_helper = 0;
    platform::Handle m_service = 0;
    std::uint32_t m_attachMsg = platform::registerMessage("WM_VOSSIK_ZELL_LIGHT_CONTROL_API_ATTACH");
    std::uint32_t m_discoverMsg = platform::registerMessage("WM_VOSSIK_ZELL_LIGHT_CONTROL_API_DISCOVER");
    std::uint32_t m_commandMsg = platform::registerMessage("WM_VOSSIK_ZELL_LIGHT_CONTROL_API");

    void attach(platform::Handle service, std::int64_t lParam)
    {
        QVERIFY(platform::postMessage(m_helper, m_attachMsg, service, lParam));
        QTest::qWait(50);
    }

private slots:
    // The waits after each attempt: fast for the fast phase after a
    // (re)start, then doubling to the cap.
    void searchSchedule_data()
    {
        // clang-format off
        columns<qint64, Steps>({"fastPhaseMs", "steps"});
        QTest::newRow("then growing to the cap") << qint64(10000)
            << Steps{{8000, 2000}, {10000, 4000}, {14000, 8000}, {22000, 16000}, {38000, 30000}, {68000, 30000},
                     {98000, 30000}};
        QTest::newRow("no fast phase") << qint64(0)
            << Steps{{0, 4000}, {4000, 8000}, {12000, 16000}, {28000, 30000}};
        QTest::newRow("a restart is fast again, then grows from the start") << qint64(10000)
            << Steps{{10000, 4000}, {14000, 8000}, {22000, 16000}, {38000, 30000}, {50000, -1}, {50000, 2000},
                     {59999, 2000}, {60000, 4000}};
        // clang-format on
    }
    void searchSchedule()
    {
        QFETCH(qint64, fastPhaseMs);
        QFETCH(Steps, steps);
        SearchSchedule schedule(fastPhaseMs);
        schedule.restart(0);
        for (const auto &[at, delay] : steps) {
            if (delay < 0)
                schedule.restart(at);
            else
                QCOMPARE(schedule.nextDelayMs(at), delay);
        }
    }

    void init()
    {
        qApp->installNativeEventFilter(&m_filter);
        m_helperWindow = new QWidget;
        m_serviceWindow = new QWidget;
        m_helper = platform::openEndpoint(m_helperWindow);
        m_service = platform::openEndpoint(m_serviceWindow);
        g_lightApi = new LightControlApi;
    }

    void cleanup()
    {
        qApp->removeNativeEventFilter(&m_filter);
        freeLightControlApi(g_lightApi);
        QVERIFY(!g_lightApi);
        delete m_helperWindow;
        delete m_serviceWindow;
    }

    // Which ATTACH messages attach, and to whom.
    void attachRules_data()
    {
        // clang-format off
        // lParams: one ATTACH per entry, from service handles 100, 101, ...
        columns<QList<qint64>, quint64>({"lParams", "attachedTo"});
        QTest::newRow("lParam 1 attaches") << QList<qint64>{1} << quint64(100);
        QTest::newRow("lParam 0 does not") << QList<qint64>{0} << quint64(0);
        QTest::newRow("lParam 2 does not") << QList<qint64>{2} << quint64(0);
        QTest::newRow("only the low bits are 1") << QList<qint64>{0x100000001ll} << quint64(0);
        QTest::newRow("the later of two wins") << QList<qint64>{1, 1} << quint64(101);
        QTest::newRow("a bad one after a good one changes nothing") << QList<qint64>{1, 0} << quint64(100);
        // clang-format on
    }
    void attachRules()
    {
        QFETCH(QList<qint64>, lParams);
        QFETCH(quint64, attachedTo);
        startLightHandshake(g_lightApi, m_helper);
        LogCapture log;
        for (int i = 0; i < lParams.size(); ++i)
            attach(100 + i, lParams.at(i));
        QCOMPARE(g_lightApi->serviceWnd, attachedTo);
        QCOMPARE(log.count(QStringLiteral("VOSSIK ATTACH")), lParams.size());
    }

    // DISCOVER goes out with the helper's own handle. A command before any
    // service attached is posted nowhere, but shown once one attaches. A
    // service that comes back is found again and shown the last command;
    // once attached, nothing more is broadcast. Its end shows in a failed
    // post, or at once when its process can be watched.
    void aServiceThatComesBackIsFoundAndShownTheCurrentState_data()
    {
        // clang-format off
        QTest::addColumn<bool>("processWatched");
        QTest::newRow("a failed post") << false;
        QTest::newRow("the end of its process") << true;
        // clang-format on
    }
    void aServiceThatComesBackIsFoundAndShownTheCurrentState()
    {
        QFETCH(bool, processWatched);
        MessageRecorder recorder;
        startLightHandshake(g_lightApi, m_helper);
        QVERIFY(QTest::qWaitFor([&] { return !recorder.to(m_service, m_discoverMsg).isEmpty(); }, 1000));
        QCOMPARE(recorder.to(m_service, m_discoverMsg).first().wParam, quint64(m_helper));
        QCOMPARE(recorder.to(m_service, m_discoverMsg).first().lParam, qint64(0));
        QVERIFY(!postLightCommand(g_lightApi, 1, 1, 2, 10, 20, 30));
        QTest::qWait(50);
        QVERIFY(recorder.to(m_service, m_commandMsg).isEmpty());
        attach(m_service, 1);
        QVERIFY(QTest::qWaitFor([&] { return !recorder.to(m_service, m_commandMsg).isEmpty(); }, 1000));
        QCOMPARE(recorder.to(m_service, m_commandMsg).first().wParam, quint64(0x010102));
        QCOMPARE(recorder.to(m_service, m_commandMsg).first().lParam, qint64(0x0a141e));
        QTest::qWait(20);
        QCOMPARE(recorder.to(m_service, m_commandMsg).size(), 1);  // once
        QVERIFY(!g_lightApi->rediscoverTimer->isActive());

        if (processWatched)
            QVERIFY(postLightCommand(g_lightApi, 1, 2, 3, 1, 2, 3));
        delete m_serviceWindow;  // the service ends
        m_serviceWindow = nullptr;
        if (processWatched)
            onLightServiceEnded(g_lightApi);  // what the watch of its process calls
        else
            QVERIFY(!postLightCommand(g_lightApi, 1, 2, 3, 1, 2, 3));
        QCOMPARE(g_lightApi->serviceWnd == 0, processWatched);
        QVERIFY(g_lightApi->rediscoverTimer->isActive());
        QCOMPARE(g_lightApi->rediscoverTimer->interval(), int(SearchSchedule::kFastIntervalMs));

        m_serviceWindow = new QWidget;  // and starts again under a new handle
        m_service = platform::openEndpoint(m_serviceWindow);
        QVERIFY(QTest::qWaitFor([&] { return !recorder.to(m_service, m_discoverMsg).isEmpty(); },
                                SearchSchedule::kFastIntervalMs + 1000));
        attach(m_service, 1);
        QVERIFY(QTest::qWaitFor([&] { return !recorder.to(m_service, m_commandMsg).isEmpty(); }, 1000));
        const platform::Message shown = recorder.to(m_service, m_commandMsg).first();
        QCOMPARE(shown.wParam, quint64(0x010203));
        QCOMPARE(shown.lParam, qint64(0x010203));
        QVERIFY(!g_lightApi->rediscoverTimer->isActive());
    }

    // The timer follows the schedule: past the fast phase DISCOVER goes out
    // less often, a word for a missing service changes nothing, and a reload
    // sends DISCOVER at once and searches fast again.
    void theSearchSlowsDownUntilAReload()
    {
        g_lightApi->search = SearchSchedule(300);
        MessageRecorder recorder;
        const auto discovers = [&] { return recorder.to(m_service, m_discoverMsg).size(); };
        startLightHandshake(g_lightApi, m_helper);
        QTimer *timer = g_lightApi->rediscoverTimer;
        QVERIFY(timer->isSingleShot());
        QCOMPARE(timer->interval(), int(SearchSchedule::kFastIntervalMs));
        QVERIFY(QTest::qWaitFor([&] { return discovers() == 2; }, SearchSchedule::kFastIntervalMs + 1000));
        QCOMPARE(timer->interval(), int(2 * SearchSchedule::kFastIntervalMs));
        QVERIFY(!postLightCommand(g_lightApi, 1, 1, 2, 10, 20, 30));
        QCOMPARE(timer->interval(), int(2 * SearchSchedule::kFastIntervalMs));
        restartLightSearch(g_lightApi);
        QVERIFY(QTest::qWaitFor([&] { return discovers() == 3; }, 500));
        QCOMPARE(timer->interval(), int(SearchSchedule::kFastIntervalMs));
    }
};

QTEST_MAIN(TestLightLink)
#include "tst_light_link.moc"
