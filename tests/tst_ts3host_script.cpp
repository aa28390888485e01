// ts3host: its script language, and the host itself loading fake plugins.
#include "ts3_host_api.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Run {
    int exitCode = -1;
    QByteArray output;
    QString errors;
    QStringList calls;  // as the fake plugin logged them
};

// ts3host with the fake plugin's log and the temporary folder inside `dir`,
// so what it leaves behind can be seen.
Run runHost(const QTemporaryDir &dir, const QStringList &arguments, const QByteArray &input)
{
    QDir(dir.path()).mkpath("tmp");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("FAKE_PLUGIN_LOG", dir.filePath("calls.log"));
    env.insert("TMPDIR", dir.filePath("tmp"));
    QProcess host;
    host.setProcessEnvironment(env);
    host.start(TS3HOST_PATH, arguments);
    host.write(input);
    host.closeWriteChannel();
    Run run;
    if (host.waitForFinished(20000) && host.exitStatus() == QProcess::NormalExit)
        run.exitCode = host.exitCode();
    run.output = host.readAllStandardOutput();
    run.errors = QString::fromUtf8(host.readAllStandardError());
    QFile log(dir.filePath("calls.log"));
    if (log.open(QIODevice::ReadOnly))
        run.calls = QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts);
    return run;
}

const QString kApi = QString::number(TS3_PLUGIN_API_VERSION);

}  // namespace

class TestTs3Host : public QObject
{
    Q_OBJECT

private slots:
    void refusals_data()
    {
        QTest::addColumn<QString>("plugin");
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("missing entry point") << FAKE_PLUGIN_MISSING_PATH << QByteArray() << 3
                                             << "lacks the entry point ts3plugin_onMenuItemEvent" << QStringList();
        QTest::newRow("other API") << FAKE_PLUGIN_API99_PATH << QByteArray() << 3
                                   << "is built for plugin API 99, this host for API " + kApi
                                   << QStringList{"name", "version", "author", "description", "apiVersion"};
        QTest::newRow("not a library") << TS3HOST_SOURCE << QByteArray() << 3 << "cannot load" << QStringList();
        // A malformed script is refused by its line before the plugin is loaded.
        QTest::newRow("unknown command") << FAKE_PLUGIN_PATH << QByteArray("talk own 1\nfly away\n") << 2
                                         << "standard input:2: unknown command \"fly\"" << QStringList();
        QTest::newRow("case matters") << FAKE_PLUGIN_PATH << QByteArray("Talk own 1") << 2 << "standard input:1: "
                                      << QStringList();
        QTest::newRow("counts blank lines") << FAKE_PLUGIN_PATH << QByteArray("\n# c\n\nconnection -1") << 2
                                            << "standard input:4: " << QStringList();
        for (const char *line : {"talk own", "talk own 1 2", "talk 65536 1", "talk x 1", "talk own 1.5", "own",
                                 "own 1x", "clientid-error abc", "menu", "menu 1 3", "menu 1 0 9", "sleep 12ms",
                                 "sleep -1", "shutdown now", "connection", "status", "status x", "move",
                                 "move own 3", "move 1 1 1", "kick", "kick own 2"})
            QTest::newRow(line) << FAKE_PLUGIN_PATH << QByteArray("talk own 1\n") + line + "\nshutdown" << 2
                                << "standard input:2: " << QStringList();
    }
    void refusals()
    {
        QFETCH(QString, plugin);
        QFETCH(QByteArray, script);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const Run run = runHost(dir, {"--plugin", plugin, "--script", "-"}, script);
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2(run.errors.contains(message), qPrintable(run.errors));
        QCOMPARE(run.errors.count('\n'), 1);
        QTEST(run.calls, "calls");
        QVERIFY(QDir(dir.filePath("tmp")).isEmpty());  // the temporary folders went
    }

    void session_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<bool>("interactive");
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<QByteArray>("output");
        // Blanks, tabs, CRs and comments are skipped; echo keeps its inner spacing.
        QTest::newRow("events") << QByteArray("own 5\n talk\town   -3 \r\n# talk own 1\n \t\r\n  # x\ntalk own 1\ntalk 9 0\n"
                                              "talk 65535 2\nsleep 0\nconnection 2\ntalk own 2\nclientid-error 1794\n"
                                              "talk own 0\nclientid-error 0\ntalk own 1\nmenu -4 2\nmenu 3\n"
                                              "echo  said  so # not a comment\necho\n")
                                << false
                                << QStringList{"talk 1 -3 0 5 own=5 error=0", "talk 1 1 0 5 own=5 error=0",
                                               "talk 1 0 0 9 own=5 error=0", "talk 1 2 0 65535 own=5 error=0",
                                               "talk 2 2 0 3 own=3 error=0", "talk 2 0 0 3 own=0 error=1794",
                                               "talk 2 1 0 3 own=3 error=0", "menu 2 2 -4 0", "menu 2 0 3 0"}
                                << QByteArray("said  so # not a comment\n\n");
        QTest::newRow("connection, move and kick events")
            << QByteArray("status 4\nmove 9\nmove own 2\nconnection 2\nown 5\nkick 8\nkick own\nstatus 0\n") << false
            << QStringList{"status 1 4 0", "move 1 9 1 2 1 ''", "move 1 3 1 2 2 ''", "kick 2 8 1 0 2 0 '' '' ''",
                           "kick 2 5 1 0 2 0 '' '' ''", "status 2 0 0"}
            << QByteArray();
        QTest::newRow("nothing after shutdown") << QByteArray("talk own 1\nshutdown\ntalk own 0\n") << false
                                                << QStringList{"talk 1 1 0 3 own=3 error=0"} << QByteArray();
        QTest::newRow("interactive goes on after a bad line")
            << QByteArray("bogus\ntalk own 1\n") << true << QStringList{"talk 1 1 0 3 own=3 error=0"} << QByteArray();
    }
    void session()
    {
        QFETCH(QByteArray, script);
        QFETCH(bool, interactive);
        QFETCH(QStringList, events);
        QTemporaryDir dir;
        const QString plugins = dir.filePath("plugins"), config = dir.filePath("config");
        QStringList arguments{"--plugin", FAKE_PLUGIN_PATH, "--helper", TS3HOST_PATH, "--plugins-dir", plugins,
                              "--config-dir", config, "--client-id", "3", "--timings"};
        if (!interactive)
            arguments << "--script" << "-";
        const Run run = runHost(dir, arguments, script);
        QCOMPARE(run.exitCode, 0);

        const QString init = QStringLiteral("init config=%1/ plugin=%2/ tiny=%3 missing=1,1")
                                 .arg(config, plugins, config.left(3));
        const QString registered = QStringLiteral("registerPluginID vossik_plugin_test_id");
        QStringList expected{"name", "version", "author", "description", "apiVersion", "setFunctionPointers"};
        expected << (kApi == "19" ? QStringList{init, registered} : QStringList{registered, init}) << "initMenus"
                 << "freeMemory" << "freeMemory" << "freeMemory" << "freeMemory" << events
                 << "shutdown outstanding=0";
        QCOMPARE(run.calls, expected);
        QTEST(run.output, "output");
        QVERIFY2(run.errors.contains("ts3host: menu item 2 \"Second\" icon \"two.png\" type 0\n"),
                 qPrintable(run.errors));
        for (const char *slot : {"#74,", "#183,"})
            QCOMPARE(run.errors.count(QString("client function %1 which this host does not provide").arg(slot)), 1);
        QVERIFY(QFileInfo::exists(plugins + '/' + QFileInfo(FAKE_PLUGIN_PATH).fileName()));
    }
};

QTEST_GUILESS_MAIN(TestTs3Host)
#include "tst_ts3host_script.moc"
