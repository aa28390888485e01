// The window-message stand-in on Linux: endpoints, a burst, a broadcast,
// and the end of a window's process. (Where endpoints live, and what is
// not one, is tst_user_isolation's.)
#include "message_endpoint.h"
#include "test_support.h"
#include "window_messages_posix.h"
#include "window_owner_watch.h"

#include <QProcess>
#include <QSignalSpy>
#include <QWidget>
#include <QtTest>

#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString endpointFile(platform::Handle handle)
{
    return QString::fromStdString(platform::endpointDir())
           + QStringLiteral("/%1").arg(handle, 16, 16, QLatin1Char('0'));
}

}  // namespace

class TestWindowMessages : public QObject
{
    Q_OBJECT

private:
    PrivateRuntimeDir m_runtime;

private slots:
    void endpointsAreUniqueAndGoWithTheirWindow()
    {
        auto *first = new QWidget;
        QWidget second;
        const platform::Handle a = platform::openEndpoint(first);
        const platform::Handle b = platform::openEndpoint(&second);
        QVERIFY(a != 0 && b != 0 && a != b);
        QVERIFY(platform::postMessage(a, 0xC001, 1, 1));
        delete first;
        QVERIFY(!QFile::exists(endpointFile(a)));
        QVERIFY(!platform::postMessage(a, 0xC001, 1, 1));
        QVERIFY(!platform::postMessage(0, 0xC001, 1, 1));
        QVERIFY(platform::postMessage(b, 0xC001, 1, 1));
    }

    void queueHoldsABurstInOrder()
    {
        QWidget window;
        const platform::Handle handle = platform::openEndpoint(&window);
        MessageRecorder recorder;
        const int burst = 10000;
        // Every bit of both fields arrives: the high ones, and a negative lParam.
        const auto wParam = [](int i) { return quint64(i) << 48 | quint64(i); };
        for (int i = 0; i < burst; ++i)
            QVERIFY2(platform::postMessage(handle, 0xC200, wParam(i), -i), qPrintable(QString::number(i)));
        QVERIFY(QTest::qWaitFor([&] { return recorder.messages.size() >= burst; }, 5000));
        for (int i = 0; i < burst; ++i) {
            const platform::Message &got = recorder.messages.at(i);
            QVERIFY2(got.window == handle && got.id == 0xC200 && got.wParam == wParam(i) && got.lParam == -i,
                     qPrintable(QString::number(i)));
        }
    }

    void broadcastReachesEveryEndpointAndCleansStaleOnes()
    {
        QWidget one, two;
        const platform::Handle a = platform::openEndpoint(&one);
        const platform::Handle b = platform::openEndpoint(&two);

        // A dead process's endpoint: a FIFO named for a pid that cannot exist.
        const platform::Handle dead = (platform::Handle(0x3FFFFF) << 24) | 1;
        QCOMPARE(::mkfifo(QFile::encodeName(endpointFile(dead)).constData(), 0600), 0);
        // A live process's endpoint that nobody reads just now stays.
        const platform::Handle live = (platform::Handle(::getppid()) << 24) | 0xABCDEF;
        QCOMPARE(::mkfifo(QFile::encodeName(endpointFile(live)).constData(), 0600), 0);

        MessageRecorder recorder;
        QVERIFY(platform::postMessage(platform::kBroadcast, 0xC300, 42, 0));
        QVERIFY(QTest::qWaitFor([&] { return recorder.messages.size() >= 2; }, 2000));
        QCOMPARE(recorder.to(a, 0xC300).size(), 1);
        QCOMPARE(recorder.to(b, 0xC300).size(), 1);
        QCOMPARE(recorder.to(a, 0xC300).first().wParam, quint64(42));
        QVERIFY(!QFile::exists(endpointFile(dead)));
        QVERIFY(QFile::exists(endpointFile(live)));
        QFile::remove(endpointFile(live));
    }

    // The end of a window's process is told once, also to a watch begun
    // after it; a handle that no process owns cannot be watched.
    void theEndOfAWindowsOwnerIsTold()
    {
        QProcess owner;
        owner.start(QStringLiteral("sleep"), {QStringLiteral("30")});
        QVERIFY(owner.waitForStarted());
        const platform::Handle window = (platform::Handle(owner.processId()) << 24) | 1;
        int told = 0;
        std::unique_ptr<QObject> watch(platform::watchWindowOwner(window, [&] { ++told; }));
        QVERIFY(watch);
        QTest::qWait(50);
        QCOMPARE(told, 0);
        owner.kill();
        QVERIFY(QTest::qWaitFor([&] { return told == 1; }, 1000));
        QVERIFY(QTest::qWaitFor([&] { return owner.state() == QProcess::NotRunning; }, 1000));  // reaped
        std::unique_ptr<QObject> late(platform::watchWindowOwner(window, [&] { ++told; }));
        QVERIFY(late);
        QVERIFY(QTest::qWaitFor([&] { return told == 2; }, 1000));
        QTest::qWait(50);
        QCOMPARE(told, 2);
        QVERIFY(!platform::watchWindowOwner(0x1234, [] {}));
    }
};

QTEST_MAIN(TestWindowMessages)
#include "tst_window_messages.moc"
