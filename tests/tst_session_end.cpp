// The end of the Windows session, as Windows tells it to every top-level
// window of the program.
#include "session_end.h"

#include <QWidget>
#include <QtTest>

#include <windows.h>

class TestSessionEnd : public QObject
{
    Q_OBJECT

private slots:
    // Two windows asked and told in turn: the session may end, and the
    // program hears of its end once, only when it really ends.
    void endsOnceWhenTheSessionEnds_data()
    {
        QTest::addColumn<bool>("ends");
        QTest::newRow("the session ends") << true;
        QTest::newRow("its end called off") << false;
    }
    void endsOnceWhenTheSessionEnds()
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
            QCOMPARE(endings, ends ? 1 : 0);  // before the message returns
        }
    }
};

QTEST_MAIN(TestSessionEnd)
#include "tst_session_end.moc"
