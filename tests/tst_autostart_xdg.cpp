// Starting the standalone helper with the session, through a desktop entry
// in the user's XDG autostart folder.
#include "autostart.h"
#include "names.h"
#include "test_support.h"

#include <QtTest>

class TestAutostartXdg : public QObject
{
    Q_OBJECT

private slots:
    // `config`: XDG_CONFIG_HOME, "~" the fresh home ("-" unset). `folder`:
    // where the entry goes then, under that home; empty when no folder can
    // be made there. `exec`: the entry's Exec line for `program`, quoted
    // and escaped as desktop entries take it.
    void entryComesAndGoes_data()
    {
        // clang-format off
        columns<QString, QString, QString, QString>({"config", "folder", "program", "exec"});
        QTest::newRow("plain path") << "~/cfg" << "cfg/autostart" << "/opt/vossik/helper"
                                    << "Exec=\"/opt/vossik/helper\" --standalone";
        QTest::newRow("spaces") << "~/cfg" << "cfg/autostart" << "/home/jo ann/Vossik Plugin/helper"
                                << "Exec=\"/home/jo ann/Vossik Plugin/helper\" --standalone";
        QTest::newRow("quote, dollar, backquote") << "~/cfg" << "cfg/autostart" << "/o\"k/$HOME/`id`"
                                                  << "Exec=\"/o\\\\\"k/\\\\$HOME/\\\\`id\\\\`\" --standalone";
        QTest::newRow("backslash") << "~/cfg" << "cfg/autostart" << "/a\\b" << "Exec=\"/a\\\\\\\\b\" --standalone";
        QTest::newRow("percent") << "~/cfg" << "cfg/autostart" << "/100%u" << "Exec=\"/100%%u\" --standalone";
        QTest::newRow("non-ASCII") << "~/cfg" << "cfg/autostart" << QString::fromUtf8("/J\xC3\xBCrgen/\xE6\x9D\x8E")
                                   << QString::fromUtf8("Exec=\"/J\xC3\xBCrgen/\xE6\x9D\x8E\" --standalone");
        QTest::newRow("unset: ~/.config") << "-" << ".config/autostart" << "/h" << "Exec=\"/h\" --standalone";
        QTest::newRow("relative: ~/.config") << "cfg" << ".config/autostart" << "/h" << "Exec=\"/h\" --standalone";
        QTest::newRow("folder under a file") << "~/file/cfg" << "" << "/h" << "";
        // clang-format on
    }
    void entryComesAndGoes()
    {
        QFETCH(QString, config);
        QFETCH(QString, folder);
        QFETCH(QString, program);
        QTemporaryDir home;
        writeFile(home.filePath(QStringLiteral("file")), "not a folder");
        const QByteArray savedHome = qgetenv("HOME"), savedConfig = qgetenv("XDG_CONFIG_HOME");
        const auto restore = qScopeGuard([&] {
            qputenv("HOME", savedHome);
            qputenv("XDG_CONFIG_HOME", savedConfig);
        });
        qputenv("HOME", QFile::encodeName(home.path()));
        if (config == QLatin1String("-"))
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", QFile::encodeName(QString(config).replace(QLatin1Char('~'), home.path())));
        const QString entry = home.filePath(folder) + QLatin1Char('/') + QLatin1String(protocol::kAutostartDesktopFile);

        QVERIFY(!platform::autostartEnabled());
        QCOMPARE(platform::enableAutostart(program.toStdString()), !folder.isEmpty());
        QCOMPARE(platform::autostartEnabled(), !folder.isEmpty());
        if (folder.isEmpty())
            return;
        const QStringList lines = QString::fromUtf8(readFile(entry)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.value(0), QStringLiteral("[Desktop Entry]"));
        QTEST(lines.filter(QRegularExpression(QStringLiteral("^Exec="))).value(0), "exec");
        QCOMPARE(QDir(home.filePath(folder)).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QLatin1String(protocol::kAutostartDesktopFile)});  // no temporary file left

        QVERIFY(platform::disableAutostart());
        QVERIFY(!platform::autostartEnabled() && !QFile::exists(entry));
        QVERIFY(platform::disableAutostart());  // none there: nothing to fail
        QVERIFY(platform::enableAutostart(program.toStdString()) && QFile::remove(entry));
        QVERIFY(!platform::autostartEnabled());  // removed by hand
    }
};

QTEST_APPLESS_MAIN(TestAutostartXdg)
#include "tst_autostart_xdg.moc"
