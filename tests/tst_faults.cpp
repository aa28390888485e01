// Faults the whole chain meets as real processes: the helper or the device
// service killed mid-session, a configuration folder that cannot be written,
// garbage on the helper's command socket, and a long session. A few rounds
// by default; VOSSIK_FAULTS_FULL=1 runs the long form (./dev faults).
#include "command_framing.h"
#include "process_support.h"
#include "test_support.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QRandomGenerator>
#include <QtTest>

#include <fcntl.h>
#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

const bool kFull = qEnvironmentVariableIntValue("VOSSIK_FAULTS_FULL") == 1;

// ASan keeps freed memory in quarantine and records a stack for every
// allocation, so resident memory grows with traffic whatever the code does,
// unless the run shrinks both (VOSSIK_FAULTS_MEMORY=1 says it did, see
// ./dev faults); otherwise the leak checker stands in.
const bool kResidentMemoryTells = !kSanitized || qEnvironmentVariableIntValue("VOSSIK_FAULTS_MEMORY") == 1;

int scaled(int shortForm, int fullForm)
{
    return kFull ? fullForm : shortForm;
}

// Root writes into read-only folders; without this capability it honours
// them as any user does. Dropped from the bounding set too, so the client
// and helpers started from here run without it as well.
bool dropFileAccessOverride()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct caps[2] = {};
    if (::syscall(SYS_capget, &header, caps) != 0)
        return false;
    const quint32 bit = 1u << CAP_DAC_OVERRIDE;
    if (!(caps[0].permitted & bit))
        return true;
    caps[0].effective &= ~bit;
    caps[0].permitted &= ~bit;
    caps[0].inheritable &= ~bit;
    return ::prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE, 0, 0, 0) == 0 && ::syscall(SYS_capset, &header, caps) == 0;
}

// Every file under `folder` with its bytes, to see that nothing changed.
QStringList snapshot(const QString &folder)
{
    QStringList found;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        found << it.filePath() + QLatin1Char('=') + (file.open(QIODevice::ReadOnly) ? file.readAll().toHex() : "-");
    }
    found.sort();
    return found;
}

// What the service shows for `count` talk events that alternate from
// speaking, after the silent profile of the client's first word.
QStringList alternating(int count)
{
    QStringList shown{kSilent};
    for (int i = 0; i < count; ++i)
        shown << (i % 2 == 0 ? kSpeaking : kSilent);
    return shown;
}

}  // namespace

class TestFaults : public QObject
{
    Q_OBJECT

private:
    ClientRig m_rig;

private slots:
    void initTestCase()
    {
        QVERIFY(dropFileAccessOverride());
        QVERIFY(m_rig.settingsWritten);
    }

    void cleanup() { QVERIFY(m_rig.endHelper()); }

    // The helper killed mid-session, round after round: every entry point
    // still returns at once, and the plugin starts a new helper that shows
    // the current voice state, with no new talk event.
    void aKilledHelperIsStartedAgain()
    {
        std::unique_ptr<Child> service, client;
        QVERIFY(m_rig.startChain(service, client));
        qint64 slowest = 0, longestDark = 0;
        for (int round = 0; round < scaled(1, 3); ++round) {
            play(*client, {"talk own 1"});
            QVERIFY(service->waitForLast(kSpeaking, 2000));
            const int shown = service->commands().size();
            QVERIFY(killRunning(m_rig.helperCopy()));
            QElapsedTimer dark;
            dark.start();
            const int mark = client->errors().count(QLatin1Char('\n'));
            play(*client, {"talk own 0", "talk own 1", "talk 7 1", "talk 7 0"});
            const EventCallTimes whileGone = eventCallTimes(entryPointTimings(client->errors(), mark));
            QCOMPARE(whileGone.count, 4);
            QVERIFY2(whileGone.max < kEventBudgetUs, qPrintable(QString::number(whileGone.max)));
            slowest = qMax(slowest, whileGone.max);
            // At most ten seconds after the last start, plus its start-up. A
            // word the writer sent before it saw the helper gone is lost with
            // it; the state is not, and the new helper shows nothing before it.
            QVERIFY(QTest::qWaitFor(
                [&] { return service->commands().size() > shown && service->commands().last() == kSpeaking; }, 12000));
            longestDark = qMax(longestDark, dark.elapsed());
        }
        qInfo("slowest entry point while the helper was gone: %lld us; lights back after %lld ms at most", slowest,
              longestDark);
        QVERIFY2(shutDown(*client), qPrintable(client->errors().right(2000)));
        QVERIFY(service->waitForLast(kShutdown, 2000));
    }

    // A long session through the whole chain, whose standard output and
    // error nobody reads (a pipe that the helper inherits, full after a few
    // lines): every command reaches the service in order, no entry point
    // waits on a log line, the helper's memory stays flat, and both end
    // cleanly (a sanitizer's report would end them with another code).
    void aLongSessionThatNobodyReads()
    {
        const QByteArray unread = QFile::encodeName(m_rig.home.path() + QStringLiteral("/unread"));
        QVERIFY(::mkfifo(unread.constData(), 0600) == 0);
        const int reader = ::open(unread.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        QVERIFY(reader >= 0);  // else a writer's open would wait for ever
        const auto closeReader = qScopeGuard([reader] { ::close(reader); });
        ::fcntl(reader, F_SETPIPE_SZ, 4096);
        const auto intoUnread = [&](QProcess &process) {
            process.setProcessEnvironment(m_rig.env);
            process.setProcessChannelMode(QProcess::MergedChannels);
            process.setStandardOutputFile(QFile::decodeName(unread));
        };
        const int events = scaled(10000, 100000);
        QTemporaryFile script;
        QVERIFY(script.open());
        // Paced at some 10,000 events a second, far above any voice session,
        // so the stand-in service keeps up while this test reads its log.
        for (int i = 0; i < events; ++i) {
            script.write(i % 10 == 9 ? "talk own 0\nsleep 1\n" : i % 2 == 0 ? "talk own 1\n" : "talk own 0\n");
            if (i % 100 == 0)
                script.write("menu 2\n");  // another plugin's item: a line on the output, no word
        }
        script.write("sleep 1000\nshutdown\n");  // time for a last sample
        script.close();
        const QString timings = m_rig.home.path() + QStringLiteral("/timings");

        std::unique_ptr<Child> service = m_rig.startService();
        QVERIFY(service);
        // The helper as the client would have started it, on the same
        // unread output; listening before the session, so the queue's bound
        // is not what this measures.
        QProcess helper;
        intoUnread(helper);
        helper.start(QStringLiteral(HELPER_PATH), {m_rig.configDir});
        QVERIFY(helper.waitForStarted() && m_rig.waitForServer(true, 5000));
        QStringList arguments{"--plugin",       PLUGIN_PATH,     "--plugins-dir", m_rig.home.path() + "/bare",
                              "--config-dir",   m_rig.configDir, "--script",      script.fileName(),
                              "--timings-file", timings};
        if (kSanitized)
            arguments << QStringLiteral("--keep-loaded");
        QProcess client;
        intoUnread(client);
        QElapsedTimer elapsed;
        elapsed.start();
        client.start(QStringLiteral(TS3HOST_PATH), arguments);
        QVERIFY(client.waitForStarted());
        qint64 warm = -1, last = -1;
        const auto shownSoFar = [&] { return service->output().count(QLatin1Char('\n')); };
        while (helper.state() != QProcess::NotRunning && elapsed.elapsed() < events * 10) {
            QTest::qWait(100);  // the event loop also drains the service's output
            const qint64 rss = probe::residentKiB(pid_t(helper.processId()));
            if (warm < 0 && shownSoFar() > events / 10)
                warm = rss;
            if (rss > 0)
                last = rss;
        }
        QVERIFY(client.state() == QProcess::NotRunning || client.waitForFinished(3000));
        QVERIFY2(service->waitForCommands(events + 2, 10000), qPrintable(QString::number(service->commands().size())));
        qInfo("%d events in %lld ms; helper VmRSS %lld KiB after warm-up, %lld KiB at the end", events,
              elapsed.elapsed(), warm, last);
        for (const QProcess *each : {&helper, &client})
            QVERIFY(each->state() == QProcess::NotRunning && each->exitStatus() == QProcess::NormalExit
                    && each->exitCode() == 0);
        QCOMPARE(service->commands(), alternating(events) << kShutdown);
        const EventCallTimes times = eventCallTimes(entryPointTimings(QString::fromUtf8(readFile(timings))));
        qInfo("%d events with nobody reading the output: p99.9 %lld us, max %lld us", times.count, times.p999,
              times.max);
        QCOMPARE(times.count, events + events / 100);
        QVERIFY2(times.p999 < 1000, qPrintable(QString::number(times.p999)));
        QVERIFY2(times.max < 20000, qPrintable(QString::number(times.max)));
        // Flat, give or take what the allocator and Qt's caches settle on:
        // a leak of even a few bytes per event shows well beyond this.
        QVERIFY(warm > 0);
        if (kResidentMemoryTells)
            QVERIFY2(last - warm < 2048, qPrintable(QStringLiteral("%1 -> %2 KiB").arg(warm).arg(last)));
    }

    // The device service killed and started again: the new one shows the
    // current profile within about two seconds, with no word sent meanwhile.
    void aRestartedServiceShowsTheCurrentProfile()
    {
        std::unique_ptr<Child> service, client;
        QVERIFY(m_rig.startChain(service, client));
        qint64 slowest = 0;
        for (int round = 0; round < scaled(1, 5); ++round) {
            const bool speaking = round % 2 == 0;
            play(*client, {speaking ? "talk own 1" : "talk own 0"});
            QVERIFY(service->waitForLast(speaking ? kSpeaking : kSilent, 2000));
            service->process().kill();
            QVERIFY(service->finished());
            QElapsedTimer sinceStart;
            sinceStart.start();
            service = m_rig.startService();
            QVERIFY(service);
            QVERIFY(service->waitForCommands(1, 4000));
            slowest = qMax(slowest, sinceStart.elapsed());
            QVERIFY2(sinceStart.elapsed() < 2500, qPrintable(QString::number(sinceStart.elapsed())));
            QCOMPARE(service->commands(), QStringList{speaking ? kSpeaking : kSilent});
        }
        qInfo("longest wait for a restarted service to show the profile: %lld ms", slowest);
        QVERIFY2(shutDown(*client), qPrintable(client->errors().right(2000)));
        QVERIFY(service->waitForCommands(2));
        QCOMPARE(service->commands().last(), kShutdown);
    }

    // A configuration folder the helper cannot write: it runs on what it
    // can read and leaves the folder as it was. (A save that cannot be
    // written, and what it leaves: tst_config_window's refused files.)
    void aConfigFolderThatCannotBeWritten_data()
    {
        // clang-format off
        // shown: for start-up, "talk own 1", "talk own 0"
        columns<bool, QStringList>({"exists", "shown"});
        const QString unset = QStringLiteral("wParam=0x010002 lParam=0x000000");  // every profile without a file
        QTest::newRow("read-only, with the settings") << true << QStringList{kSilent, kSpeaking, kSilent};
        QTest::newRow("missing, in a read-only parent") << false << QStringList{unset, unset, unset};
        // clang-format on
    }
    void aConfigFolderThatCannotBeWritten()
    {
        QFETCH(bool, exists);
        QFETCH(QStringList, shown);
        QTemporaryDir home;
        const QString configDir = home.path() + QStringLiteral("/TS3 Client/");
        if (exists)
            QVERIFY(writeSettingsFile(configDir));
        const QString locked = exists ? configDir : home.path();  // read-only while this test runs
        const auto permissions = QFile::permissions(locked);
        QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        const auto unlock = qScopeGuard([&] { QFile::setPermissions(locked, permissions); });
        const QStringList before = snapshot(home.path());

        // A helper of our own on the folder, and a client whose plugin has no
        // helper to start and so talks to ours.
        std::unique_ptr<Child> service = m_rig.startService(), helper = m_rig.startHelper({configDir});
        QVERIFY(service && helper && m_rig.waitForServer(true, 5000));
        std::unique_ptr<Child> client = m_rig.startBareClient();
        QVERIFY(client);
        play(*client, {"talk own 1", "talk own 0"});
        QVERIFY(service->waitForCommands(shown.size()));

        QVERIFY2(shutDown(*client), qPrintable(client->errors().right(2000)));
        QVERIFY(helper->finished());
        QCOMPARE(helper->process().exitCode(), 0);
        QCOMPARE(service->commands().mid(0, shown.size()), shown);
        QCOMPARE(snapshot(home.path()), before);
    }

    // Another client floods the command socket while the plugin talks: the
    // helper stays up, within bounded memory, and follows the plugin.
    void garbageOnTheCommandSocket_data()
    {
        // clang-format off
        QTest::addColumn<QByteArray>("flood");  // what each flooding connection writes
        QRandomGenerator random(7);
        QByteArray bytes(64 * 1024, Qt::Uninitialized);
        random.fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
        QTest::newRow("random bytes") << bytes;
        QByteArray oversized = framing::encodeFrame(QString(framing::kMaxTextBytes, QLatin1Char('x')));
        oversized[0] = '\x7f';  // claims almost 2 GiB
        QTest::newRow("oversized frames") << oversized.repeated(64);
        const QString unknown(framing::kMaxTextBytes / 2, QLatin1Char('?'));
        QTest::newRow("unknown words") << framing::encodeFrame(unknown).repeated(64);
        // clang-format on
    }
    void garbageOnTheCommandSocket()
    {
        QFETCH(QByteArray, flood);
        std::unique_ptr<Child> service, client;
        QVERIFY(m_rig.startChain(service, client));
        const qint64 helper = runningPid(m_rig.helperCopy());
        QVERIFY(helper > 0);
        const qint64 before = probe::residentKiB(pid_t(helper));
        qint64 peak = before;

        const int connections = scaled(100, 1000);
        std::vector<std::unique_ptr<QLocalSocket>> flooding;
        int words = 0;
        for (int i = 0; i < connections; ++i) {
            auto socket = std::make_unique<QLocalSocket>();
            socket->connectToServer(m_rig.serverPath());
            QVERIFY(socket->waitForConnected(2000));
            socket->write(flood);
            // Sent through the event loop, which also drains the children's output.
            QVERIFY(QTest::qWaitFor(
                [&] { return socket->bytesToWrite() == 0 || socket->state() != QLocalSocket::ConnectedState; }, 5000));
            flooding.push_back(std::move(socket));
            if (i % 10 == 9) {
                play(*client, {words++ % 2 == 0 ? "talk own 1" : "talk own 0"});
                peak = qMax(peak, qint64(probe::residentKiB(pid_t(helper))));
            }
            // At most 100 held at once: a client that keeps connections is
            // another matter than one that floods them.
            if (flooding.size() >= 100)
                flooding.erase(flooding.begin());
        }
        flooding.clear();
        QVERIFY(service->waitForCommands(1 + words, 5000));
        QTest::qWait(300);
        const qint64 after = probe::residentKiB(pid_t(helper));
        qInfo("helper VmRSS: %lld KiB before, %lld KiB at most during, %lld KiB after", before, peak, after);
        // Each connection buffers at most 64 KiB; what is freed need not go
        // back to the system, so allow the 100 held ones plus room.
        if (kResidentMemoryTells)
            QVERIFY2(peak - before < 16 * 1024, qPrintable(QString::number(peak - before)));
        QCOMPARE(service->commands(), alternating(words));
        QVERIFY2(shutDown(*client), qPrintable(client->errors().right(2000)));
        QVERIFY(m_rig.waitForServer(false));
    }
};

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"
