// What the plugin does inside the voice client's process: start the
// helper, which must take nothing of the client, and log, which must never
// wait on the client's output.
#include "helper_launcher.h"
#include "log_output.h"
#include "test_support.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

class TestPluginPlatform : public QObject
{
    Q_OBJECT

private slots:
    void theHelperTakesNothingOfTheClient()
    {
        QTemporaryDir dir;
        // A stand-in helper that reports its parent, session, descriptors
        // (as a child of its own sees them) and environment.
        const QString program = dir.filePath(QStringLiteral("helper"));
        QFile script(program);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(
            "#!/bin/sh\n"
            "{ echo \"ppid=$PPID\"; echo \"sid=$(cut -d' ' -f6 /proc/$$/stat)\";\n"
            "  echo \"fds=$(ls /proc/self/fd | tr '\\n' ' ')\"; env; } > \"$1.new\" && mv \"$1.new\" \"$1\"\n");
        script.close();
        QVERIFY(script.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        qputenv("LD_LIBRARY_PATH", "/client/lib");
        qputenv("QT_PLUGIN_PATH", "/client/plugins");
        const int inherited = ::open("/dev/null", O_RDONLY);  // the client's own, without close-on-exec
        QVERIFY(::dup2(inherited, 57) == 57);

        const QString report = dir.filePath(QStringLiteral("report with blanks"));
        QVERIFY(platform::launchHelper(program.toStdString(), report.toStdString()));
        ::close(57);
        ::close(inherited);
        QVERIFY(QTest::qWaitFor([&] { return QFile::exists(report); }, 5000));
        const QStringList lines = QString::fromUtf8(readFile(report)).split(QLatin1Char('\n'));

        QVERIFY(!lines.contains(QStringLiteral("ppid=%1").arg(::getpid())));
        QVERIFY(!lines.contains(QStringLiteral("sid=%1").arg(::getsid(0))));
        const QStringList fds = lines.filter(QRegularExpression(QStringLiteral("^fds="))).value(0).mid(4).split(' ');
        QVERIFY2(!fds.contains(QStringLiteral("57")), qPrintable(fds.join(' ')));
        QVERIFY(lines.contains(QStringLiteral("VOSSIK_START_HIDDEN=1")));
        QVERIFY(lines.filter(QRegularExpression(QStringLiteral("^(LD_LIBRARY_PATH|QT_PLUGIN_PATH)="))).isEmpty());
        // Nothing of it is left for the client to reap.
        QCOMPARE(::waitpid(-1, nullptr, WNOHANG), -1);
        QCOMPARE(errno, ECHILD);
    }

    void aMissingProgramIsNotStarted() { QVERIFY(!platform::launchHelper("/nonexistent/helper", "/tmp/")); }

    // Standard error a full pipe: lines are dropped at once, and the first
    // one that gets through again says how many.
    void aFullStreamDropsLinesAndSaysHowMany()
    {
        int ends[2];
        QVERIFY(::pipe2(ends, O_CLOEXEC) == 0);
        const int error = ::dup(STDERR_FILENO);
        ::dup2(ends[1], STDERR_FILENO);
        QByteArray read;
        qint64 droppingTookMs;
        {
            platform::LogSink sink(platform::StandardStream::Error);
            QByteArray filler(::fcntl(ends[1], F_GETPIPE_SZ), 'x');
            const bool filled = ::write(ends[1], filler.constData(), filler.size()) == filler.size();
            QElapsedTimer timer;
            timer.start();
            for (int i = 0; i < 3; ++i)
                sink.line("dropped");
            droppingTookMs = timer.elapsed();
            const bool drained = filled && ::read(ends[0], filler.data(), filler.size()) == filler.size();
            sink.line("through");
            read.resize(4096);
            read.resize(drained ? int(::read(ends[0], read.data(), read.size())) : 0);
        }
        // Standard error is the test's own again before anything is checked.
        ::dup2(error, STDERR_FILENO);
        ::close(error);
        ::close(ends[0]);
        ::close(ends[1]);
        QVERIFY(droppingTookMs < 100);
        QCOMPARE(read, QByteArray("(3 log lines dropped: the output did not take them)\nthrough\n"));
    }
};

QTEST_APPLESS_MAIN(TestPluginPlatform)
#include "tst_plugin_platform.moc"
