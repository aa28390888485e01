#include "message_endpoint.h"
#include "runtime_dir.h"
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

// Waits until `recorder` holds `count` messages or the time runs out.
bool waitForMessages(const MessageRecorder &recorder, int count, int timeoutMs = 2000)
{
    return QTest::qWaitFor([&] { return recorder.messages.size() >= count; }, timeoutMs);
}

QString endpointFile(winmsg::Handle handle)
{
    return QString::fromStdString(winmsg::endpointDir()) + QStringLiteral("/%1").arg(handle, 16, 16, QLatin1Char('0'));
}

}  // namespace

class TestWindowMessages : public QObject
{
    Q_OBJECT

private:
    PrivateRuntimeDir m_runtime;

private slots:
    void registeredIdsAreStableAndInRange_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("discover") << QByteArray("WM_VOSSIK_ZELL_LIGHT_CONTROL_API_DISCOVER");
        QTest::newRow("attach") << QByteArray("WM_VOSSIK_ZELL_LIGHT_CONTROL_API_ATTACH");
        QTest::newRow("command") << QByteArray("WM_VOSSIK_ZELL_LIGHT_CONTROL_API");
        QTest::newRow("short") << QByteArray("x");
    }
    void registeredIdsAreStableAndInRange()
    {
        QFETCH(QByteArray, name);
        const std::uint32_t id = winmsg::registerMessage(name.constData());
        QVERIFY(id >= 0xC000 && id <= 0xFFFF);
        QCOMPARE(winmsg::registerMessage(name.constData()), id);
        QCOMPARE(winmsg::registerMessage(name.toLower().constData()), id);  // names match without case
    }

    void ourThreeMessagesDiffer()
    {
        const std::uint32_t discover = winmsg::registerMessage("WM_VOSSIK_ZELL_LIGHT_CONTROL_API_DISCOVER");
        const std::uint32_t attach = winmsg::registerMessage("WM_VOSSIK_ZELL_LIGHT_CONTROL_API_ATTACH");
        const std::uint32_t command = winmsg::registerMessage("WM_VOSSIK_ZELL_LIGHT_CONTROL_API");
        QVERIFY(discover != attach && attach != command && discover != command);
        QCOMPARE(winmsg::registerMessage(""), 0u);
    }

    void endpointFolderIsPrivate()
    {
        const std::string dir = winmsg::endpointDir();
        QVERIFY(!dir.empty());
        QVERIFY(QString::fromStdString(dir).startsWith(m_runtime.path()));
        struct stat st {};
        QCOMPARE(::stat(dir.c_str(), &st), 0);
        QCOMPARE(st.st_mode & 0777, mode_t(0700));

        const QString shared = m_runtime.path() + QStringLiteral("/shared");
        QVERIFY(QDir().mkdir(shared));
        ::chmod(QFile::encodeName(shared).constData(), 0777);
        QVERIFY(!platform::ensurePrivateDir(QFile::encodeName(shared).toStdString()));
    }

    void postDeliversExactFieldsToTheFilters_data()
    {
        QTest::addColumn<quint64>("wParam");
        QTest::addColumn<qint64>("lParam");
        QTest::newRow("light command") << quint64(0x020301) << qint64(0x102030);
        QTest::newRow("zero") << quint64(0) << qint64(0);
        QTest::newRow("full 64 bits") << quint64(0xFFFFFFFFFFFFFFFFull) << qint64(-1);
        QTest::newRow("handle-sized") << quint64(0x00001234ABCD0001ull) << qint64(1);
    }
    void postDeliversExactFieldsToTheFilters()
    {
        QFETCH(quint64, wParam);
        QFETCH(qint64, lParam);
        QWidget window;
        const winmsg::Handle handle = winmsg::openEndpoint(&window);
        QVERIFY(handle != 0 && handle != winmsg::kBroadcast);
        MessageRecorder recorder;
        QVERIFY(winmsg::postMessage(handle, 0xC123, wParam, lParam));
        QVERIFY(waitForMessages(recorder, 1));
        const winmsg::Message got = recorder.messages.first();
        QCOMPARE(got.window, handle);
        QCOMPARE(got.id, 0xC123u);
        QCOMPARE(got.wParam, wParam);
        QCOMPARE(got.lParam, lParam);
    }

    void endpointsAreUniqueAndGoWithTheirWindow()
    {
        auto *first = new QWidget;
        QWidget second;
        const winmsg::Handle a = winmsg::openEndpoint(first);
        const winmsg::Handle b = winmsg::openEndpoint(&second);
        QVERIFY(a != 0 && b != 0 && a != b);
        QVERIFY(winmsg::postMessage(a, 0xC001, 1, 1));
        delete first;
        QVERIFY(!QFile::exists(endpointFile(a)));
        QVERIFY(!winmsg::postMessage(a, 0xC001, 1, 1));
        QVERIFY(!winmsg::postMessage(0, 0xC001, 1, 1));
        QVERIFY(winmsg::postMessage(b, 0xC001, 1, 1));
    }

    void queueHoldsABurstInOrder()
    {
        QWidget window;
        const winmsg::Handle handle = winmsg::openEndpoint(&window);
        MessageRecorder recorder;
        const int burst = 10000;
        for (int i = 0; i < burst; ++i)
            QVERIFY2(winmsg::postMessage(handle, 0xC200, quint64(i), i), qPrintable(QString::number(i)));
        QVERIFY(waitForMessages(recorder, burst, 5000));
        for (int i = 0; i < burst; ++i)
            QCOMPARE(recorder.messages.at(i).wParam, quint64(i));
    }

    void broadcastReachesEveryEndpointAndCleansStaleOnes()
    {
        QWidget one, two;
        const winmsg::Handle a = winmsg::openEndpoint(&one);
        const winmsg::Handle b = winmsg::openEndpoint(&two);

        // A dead process's endpoint: a FIFO named for a pid that cannot exist.
        const winmsg::Handle dead = (winmsg::Handle(0x3FFFFF) << 24) | 1;
        QCOMPARE(::mkfifo(QFile::encodeName(endpointFile(dead)).constData(), 0600), 0);
        // A live process's endpoint that nobody reads just now stays.
        const winmsg::Handle live = (winmsg::Handle(::getppid()) << 24) | 0xABCDEF;
        QCOMPARE(::mkfifo(QFile::encodeName(endpointFile(live)).constData(), 0600), 0);

        MessageRecorder recorder;
        QVERIFY(winmsg::postMessage(winmsg::kBroadcast, 0xC300, 42, 0));
        QVERIFY(waitForMessages(recorder, 2));
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
        const winmsg::Handle window = (winmsg::Handle(owner.processId()) << 24) | 1;
        int told = 0;
        std::unique_ptr<QObject> watch(winmsg::watchWindowOwner(window, [&] { ++told; }));
        QVERIFY(watch);
        QTest::qWait(50);
        QCOMPARE(told, 0);
        owner.kill();
        QVERIFY(QTest::qWaitFor([&] { return told == 1; }, 1000));
        QVERIFY(QTest::qWaitFor([&] { return owner.state() == QProcess::NotRunning; }, 1000));  // reaped
        std::unique_ptr<QObject> late(winmsg::watchWindowOwner(window, [&] { ++told; }));
        QVERIFY(late);
        QVERIFY(QTest::qWaitFor([&] { return told == 2; }, 1000));
        QTest::qWait(50);
        QCOMPARE(told, 2);
        QVERIFY(!winmsg::watchWindowOwner(0x1234, [] {}));
    }
};

QTEST_MAIN(TestWindowMessages)
#include "tst_window_messages.moc"
