// Starting the helper from inside the voice client: what the started
// program gets of the client, and what it leaves there.
#include "helper_launcher.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

class TestHelperLauncher : public QObject
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
        script.write("#!/bin/sh\n"
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
        QFile file(report);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));

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

    void aMissingProgramIsNotStarted()
    {
        QVERIFY(!platform::launchHelper("/nonexistent/helper", "/tmp/"));
    }
};

QTEST_APPLESS_MAIN(TestHelperLauncher)
#include "tst_helper_launcher.moc"
