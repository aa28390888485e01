// The stand-in service's log line, which the process tests read, and its
// lamp, which animates only while shown with an animated effect.
#include "led_view.h"
#include "light_decode.h"

#include <QtTest>

using namespace lightservice;
using namespace protocol;

class TestLightDecode : public QObject
{
    Q_OBJECT

private slots:
    void commandLine_data()
    {
        QTest::addColumn<qint64>("elapsedMs");
        QTest::addColumn<quint64>("wParam");
        QTest::addColumn<qint64>("lParam");
        QTest::addColumn<QString>("expected");

        QTest::newRow("mute signal") << qint64(1234) << quint64(0x010203) << qint64(0xff0000)
                                     << "1234 zone=1 effect=2 speed=3 rgb=#ff0000 wParam=0x010203 lParam=0xff0000";
        QTest::newRow("all zero") << qint64(0) << quint64(0) << qint64(0)
                                  << "0 zone=0 effect=0 speed=0 rgb=#000000 wParam=0x000000 lParam=0x000000";
        QTest::newRow("colour keeps leading zeros") << qint64(7) << quint64(0x020100) << qint64(0x00000a)
                                                    << "7 zone=2 effect=1 speed=0 rgb=#00000a wParam=0x020100 lParam=0x00000a";
        QTest::newRow("wParam spills past the zone") << qint64(9) << quint64(0x1020304) << qint64(0x123456)
                                                     << "9 zone=2 effect=3 speed=4 rgb=#123456 wParam=0x1020304 lParam=0x123456";
        QTest::newRow("lParam spills past red") << qint64(9) << quint64(0x010100) << qint64(0x1ff8000)
                                                << "9 zone=1 effect=1 speed=0 rgb=#ff8000 wParam=0x010100 lParam=0x1ff8000";
        QTest::newRow("negative lParam") << qint64(3) << quint64(0x010100) << qint64(-1)
                                         << "3 zone=1 effect=1 speed=0 rgb=#ffffff wParam=0x010100 lParam=0xffffffffffffffff";
        QTest::newRow("full 64-bit wParam") << qint64(86400000) << quint64(0xffffffffffffffffull) << qint64(0)
                                            << "86400000 zone=255 effect=255 speed=255 rgb=#000000 "
                                               "wParam=0xffffffffffffffff lParam=0x000000";
    }

    void commandLine()
    {
        QFETCH(qint64, elapsedMs);
        QFETCH(quint64, wParam);
        QFETCH(qint64, lParam);
        QFETCH(QString, expected);
        QCOMPARE(QString::fromStdString(formatCommandLine(elapsedMs, wParam, lParam)), expected);
    }

    void lampTimerOnlyWhileAnimated_data()
    {
        QTest::addColumn<int>("effect");
        QTest::addColumn<bool>("animates");
        QTest::newRow("off") << int(LightEffectOff) << false;
        QTest::newRow("on") << int(LightEffectOn) << false;
        QTest::newRow("unknown") << 9 << false;
        QTest::newRow("blinking") << int(LightEffectBlinking) << true;
        QTest::newRow("breathing") << int(LightEffectBreathing) << true;
        QTest::newRow("heartbeat") << int(LightEffectHeartbeat) << true;
    }

    void lampTimerOnlyWhileAnimated()
    {
        QFETCH(int, effect);
        QFETCH(bool, animates);
        LedLamp lamp;
        LightFields fields;
        fields.effect = effect;
        fields.rgb = 0x00ff00;
        lamp.setLight(fields);
        QVERIFY(!lamp.isAnimating());  // nothing to draw before it is shown
        lamp.show();
        QCOMPARE(lamp.isAnimating(), animates);
        lamp.hide();
        QVERIFY(!lamp.isAnimating());

        // The next steady command must stop an animation that is running.
        lamp.show();
        fields.effect = LightEffectOn;
        lamp.setLight(fields);
        QVERIFY(!lamp.isAnimating());
    }
};

QTEST_MAIN(TestLightDecode)
#include "tst_light_decode.moc"
