// The user's Windows session: starting the standalone helper with it
// (through the Run key, read back as Windows' own registry tool shows it),
// and its end, as Windows tells it to every top-level window.
#include "autostart.h"
#include "names.h"
#include "session_end.h"

#include <QProcess>
#include <QWidget>
#include <QtTest>

#include <windows.h>

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
    const QString output = QString::fromLocal8Bit(reg.readAllStandardOutput());
    return output.split(QRegularExpression(QStringLiteral("[\r\n]+"))).filter(protocol::kAutostartValueName).value(0);
}

}  // namespace

class TestWindowsSession : public QObject
{
    Q_OBJECT

private slots:
    void autostartValueComesAndGoes()
    {
        const QString program = QStringLiteral("C:\\Program Files\\Vossik Plugin\\TS3_Vossik_Helper_win64.exe");
        const auto cleanUp = qScopeGuard([] { platform::disableAutostart(); });
        QVERIFY(platform::disableAutostart() && !platform::autostartEnabled());
        QCOMPARE(queried(), QString());

        QVERIFY(platform::enableAutostart(program.toStdString()) && platform::autostartEnabled());
        QCOMPARE(queried().trimmed().split(QRegularExpression(QStringLiteral("\\s{2,}|\\t"))),
                 (QStringList{QLatin1String(protocol::kAutostartValueName), QStringLiteral("REG_SZ"),
                              '"' + program + "\" " + protocol::kStandaloneOption}));

        QVERIFY(platform::disableAutostart() && !platform::autostartEnabled());
        QCOMPARE(queried(), QString());
    }

    // Two windows asked and told in turn: the session may end, and the
    // program hears of its end once, only when it really ends, before the
    // message returns.
    void sessionEndsOnce_data()
    {
        QTest::addColumn<bool>("ends");
        QTest::newRow("the session ends") << true;
        QTest::newRow("its end called off") << false;
    }
    void sessionEndsOnce()
    {
        QFETCH(bool, ends);
        QWidget first, second;
        QObject owner;
        int endings = 0;
        platform::onSessionEnd(&owner, [&endings] { ++endings; });
        const HWND windows[] = {reinterpret_cast<HWND>(first.winId()), reinterpret_cast<HWND>(second.winId())};
        for (HWND window : windows)
            QCOMPARE(SendMessageW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), LRESULT(TRUE));
        for (HWND window : windows) {
            SendMessageW(window, WM_ENDSESSION, ends, ENDSESSION_LOGOFF);
            QCOMPARE(endings, ends ? 1 : 0);
        }
    }
};

QTEST_MAIN(TestWindowsSession)
#include "tst_windows_session.moc"
