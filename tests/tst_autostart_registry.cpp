// Starting the standalone helper with the session, through the user's Run
// key, read back as Windows' own registry tool shows it.
#include "autostart.h"
#include "names.h"

#include <QProcess>
#include <QtTest>

namespace {

// What `reg query` prints for the value: its line, or nothing.
QString queried()
{
    QProcess reg;
    reg.start(QStringLiteral("reg"),
              {QStringLiteral("query"), QStringLiteral("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"),
               QStringLiteral("/v"), QLatin1String(protocol::kAutostartValueName)});
    if (!reg.waitForFinished(30000) || reg.exitStatus() != QProcess::NormalExit)
        return QStringLiteral("reg did not run");
    const QStringList lines = QString::fromLocal8Bit(reg.readAllStandardOutput()).split(QRegularExpression("[\r\n]+"));
    return lines.filter(QLatin1String(protocol::kAutostartValueName)).value(0).trimmed();
}

}  // namespace

class TestAutostartRegistry : public QObject
{
    Q_OBJECT

private slots:
    void valueComesAndGoes()
    {
        const QString program = QStringLiteral("C:\\Program Files\\Vossik Plugin\\TS3_Vossik_Helper_win64.exe");
        const auto cleanUp = qScopeGuard([] { platform::disableAutostart(); });
        QVERIFY(platform::disableAutostart());
        QVERIFY(!platform::autostartEnabled());
        QCOMPARE(queried(), QString());

        QVERIFY(platform::enableAutostart(program.toStdString()));
        QVERIFY(platform::autostartEnabled());
        QCOMPARE(queried().split(QRegularExpression(QStringLiteral("\\s{2,}|\\t"))),
                 (QStringList{QLatin1String(protocol::kAutostartValueName), QStringLiteral("REG_SZ"),
                              QLatin1Char('"') + program + QStringLiteral("\" ")
                                  + QLatin1String(protocol::kStandaloneOption)}));

        QVERIFY(platform::disableAutostart());
        QVERIFY(!platform::autostartEnabled());
        QCOMPARE(queried(), QString());
    }
};

QTEST_APPLESS_MAIN(TestAutostartRegistry)
#include "tst_autostart_registry.moc"
