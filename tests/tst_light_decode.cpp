#include "led_view.h"
#include "light_decode.h"
#include "light_service.h"

#include <QCommandLineParser>
#include <QTreeWidget>
#include <QtTest>

#include <algorithm>
#include <cmath>

using namespace lightservice;

class TestLightDecode : public QObject
{
    Q_OBJECT

private slots:
    void commandLine_data();
    void commandLine();
    void attachLine_data();
    void attachLine();

    void steadyEffects_data();
    void steadyEffects();
    void blinkingAlternates_data();
    void blinkingAlternates();
    void animatedCurves_data();
    void animatedCurves();
    void breathingHasNoJumps();
    void heartbeatBeatsTwiceThenRests();

    void lampTimerOnlyWhileAnimated_data();
    void lampTimerOnlyWhileAnimated();
    void historyKeepsNewestOnTop();

    void options_data();
    void options();
};

void TestLightDecode::commandLine_data()
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
    QTest::newRow("hex is lowercase") << qint64(5) << quint64(0x0204ab) << qint64(0xabcdef)
                                      << "5 zone=2 effect=4 speed=171 rgb=#abcdef wParam=0x0204ab lParam=0xabcdef";
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

void TestLightDecode::commandLine()
{
    QFETCH(qint64, elapsedMs);
    QFETCH(quint64, wParam);
    QFETCH(qint64, lParam);
    QFETCH(QString, expected);
    QCOMPARE(QString::fromStdString(formatCommandLine(elapsedMs, wParam, lParam)), expected);
}

void TestLightDecode::attachLine_data()
{
    QTest::addColumn<quint64>("handle");
    QTest::addColumn<QString>("expected");
    QTest::newRow("no padding") << quint64(0x5) << "ATTACH sent to 0x5";
    QTest::newRow("endpoint handle") << quint64(0x3a2f000001ull) << "ATTACH sent to 0x3a2f000001";
}

void TestLightDecode::attachLine()
{
    QFETCH(quint64, handle);
    QFETCH(QString, expected);
    QCOMPARE(QString::fromStdString(formatAttachLine(handle)), expected);
}

void TestLightDecode::steadyEffects_data()
{
    QTest::addColumn<int>("effect");
    QTest::addColumn<int>("speed");
    QTest::addColumn<double>("expected");
    for (int speed = 0; speed <= 3; ++speed) {
        QTest::addRow("off, speed %d", speed) << int(EffectOff) << speed << 0.0;
        QTest::addRow("on, speed %d", speed) << int(EffectOn) << speed << 1.0;
    }
}

void TestLightDecode::steadyEffects()
{
    QFETCH(int, effect);
    QFETCH(int, speed);
    QFETCH(double, expected);
    QCOMPARE(effectPeriodMs(effect, speed), 0);
    for (qint64 t : {qint64(-5), qint64(0), qint64(1), qint64(499), qint64(12345), qint64(1) << 40})
        QCOMPARE(effectBrightness(effect, speed, t), expected);
}

void TestLightDecode::blinkingAlternates_data()
{
    QTest::addColumn<int>("speed");
    QTest::newRow("none") << int(SpeedNone);
    QTest::newRow("slow") << int(SpeedSlow);
    QTest::newRow("normal") << int(SpeedNormal);
    QTest::newRow("fast") << int(SpeedFast);
}

void TestLightDecode::blinkingAlternates()
{
    QFETCH(int, speed);
    const qint64 period = effectPeriodMs(EffectBlinking, speed);
    QVERIFY(period > 0);
    for (qint64 cycle = 0; cycle < 3; ++cycle) {
        const qint64 start = cycle * period;
        QCOMPARE(effectBrightness(EffectBlinking, speed, start + period / 4), 1.0);
        QCOMPARE(effectBrightness(EffectBlinking, speed, start + 3 * period / 4), 0.0);
    }
}

void TestLightDecode::animatedCurves_data()
{
    QTest::addColumn<int>("effect");
    for (int effect : {EffectBlinking, EffectBreathing, EffectHeartbeat})
        QTest::newRow(effectName(effect).c_str()) << effect;
}

void TestLightDecode::animatedCurves()
{
    QFETCH(int, effect);
    const int slow = effectPeriodMs(effect, SpeedSlow);
    const int normal = effectPeriodMs(effect, SpeedNormal);
    const int fast = effectPeriodMs(effect, SpeedFast);
    QVERIFY(slow > normal);
    QVERIFY(normal > fast);
    QVERIFY(fast > 0);
    QCOMPARE(effectPeriodMs(effect, SpeedNone), normal);

    for (int speed : {SpeedSlow, SpeedNormal, SpeedFast}) {
        const qint64 period = effectPeriodMs(effect, speed);
        double low = 1.0;
        double high = 0.0;
        for (qint64 t = 0; t < period; t += 3) {
            const double b = effectBrightness(effect, speed, t);
            QVERIFY2(b >= 0.0 && b <= 1.0, qPrintable(QString("t=%1 gives %2").arg(t).arg(b)));
            QVERIFY(std::abs(effectBrightness(effect, speed, t + period) - b) < 1e-9);
            QVERIFY(std::abs(effectBrightness(effect, speed, t + 7 * period) - b) < 1e-9);
            low = std::min(low, b);
            high = std::max(high, b);
        }
        // A curve that never goes dark or never lights up shows no effect.
        QVERIFY(low < 0.05);
        QVERIFY(high > 0.95);
    }
}

void TestLightDecode::breathingHasNoJumps()
{
    for (int speed : {SpeedSlow, SpeedNormal, SpeedFast}) {
        const qint64 period = effectPeriodMs(EffectBreathing, speed);
        for (qint64 t = 0; t < 2 * period; t += 16) {
            const double step = effectBrightness(EffectBreathing, speed, t + 16) - effectBrightness(EffectBreathing, speed, t);
            QVERIFY2(std::abs(step) < 0.1, qPrintable(QString("speed %1, t=%2").arg(speed).arg(t)));
        }
    }
}

void TestLightDecode::heartbeatBeatsTwiceThenRests()
{
    const qint64 period = effectPeriodMs(EffectHeartbeat, SpeedNormal);
    int peaks = 0;
    double before = effectBrightness(EffectHeartbeat, SpeedNormal, 0);
    double now = effectBrightness(EffectHeartbeat, SpeedNormal, 1);
    for (qint64 t = 2; t <= period; ++t) {
        const double after = effectBrightness(EffectHeartbeat, SpeedNormal, t);
        if (now > before && now >= after && now > 0.3)
            ++peaks;
        before = now;
        now = after;
    }
    QCOMPARE(peaks, 2);
    for (qint64 t = period / 2; t < period; t += 5)
        QCOMPARE(effectBrightness(EffectHeartbeat, SpeedNormal, t), 0.0);
}

void TestLightDecode::lampTimerOnlyWhileAnimated_data()
{
    QTest::addColumn<int>("effect");
    QTest::addColumn<bool>("animates");
    QTest::newRow("off") << int(EffectOff) << false;
    QTest::newRow("on") << int(EffectOn) << false;
    QTest::newRow("unknown") << 9 << false;
    QTest::newRow("blinking") << int(EffectBlinking) << true;
    QTest::newRow("breathing") << int(EffectBreathing) << true;
    QTest::newRow("heartbeat") << int(EffectHeartbeat) << true;
}

void TestLightDecode::lampTimerOnlyWhileAnimated()
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
    fields.effect = EffectOn;
    lamp.setLight(fields);
    QVERIFY(!lamp.isAnimating());
}

void TestLightDecode::historyKeepsNewestOnTop()
{
    LedView view;
    auto *history = view.findChild<QTreeWidget *>();
    QVERIFY(history);
    for (int i = 1; i <= LedView::kHistorySize + 3; ++i)
        view.showCommand(0x010100, i);
    QCOMPARE(history->topLevelItemCount(), LedView::kHistorySize);
    QCOMPARE(history->topLevelItem(0)->text(4), QString("#00000b"));
    QCOMPARE(history->topLevelItem(LedView::kHistorySize - 1)->text(4), QString("#000004"));
    QCOMPARE(history->topLevelItem(0)->text(2), QString("On"));
}

void TestLightDecode::options_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("result");
    QTest::addColumn<bool>("log");
    QTest::addColumn<qint64>("attachLParam");
    QTest::addColumn<int>("attachDelayMs");
    QTest::addColumn<bool>("attach");
    QTest::addColumn<bool>("window");

    const int ok = int(ParseResult::Ok);
    const int error = int(ParseResult::Error);
    QTest::newRow("defaults") << QStringList{} << ok << false << qint64(1) << 0 << true << true;
    QTest::newRow("all flags") << QStringList{"--log", "--no-attach", "--no-window"} << ok << true << qint64(1) << 0
                               << false << false;
    QTest::newRow("wrong lParam") << QStringList{"--attach-lparam", "0"} << ok << false << qint64(0) << 0 << true << true;
    QTest::newRow("negative lParam") << QStringList{"--attach-lparam=-2"} << ok << false << qint64(-2) << 0 << true
                                     << true;
    QTest::newRow("hex lParam") << QStringList{"--attach-lparam", "0x10"} << ok << false << qint64(16) << 0 << true
                                << true;
    QTest::newRow("delay") << QStringList{"--attach-delay", "2500"} << ok << false << qint64(1) << 2500 << true << true;
    QTest::newRow("delay not a number") << QStringList{"--attach-delay", "soon"} << error << false << qint64(1) << 0
                                        << true << true;
    QTest::newRow("negative delay") << QStringList{"--attach-delay=-1"} << error << false << qint64(1) << 0 << true
                                    << true;
    QTest::newRow("lParam not a number") << QStringList{"--attach-lparam", "one"} << error << false << qint64(1) << 0
                                         << true << true;
    QTest::newRow("unknown option") << QStringList{"--loud"} << error << false << qint64(1) << 0 << true << true;
    QTest::newRow("stray argument") << QStringList{"extra"} << error << false << qint64(1) << 0 << true << true;
    QTest::newRow("help") << QStringList{"--help"} << int(ParseResult::Help) << false << qint64(1) << 0 << true << true;
}

void TestLightDecode::options()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, result);
    arguments.prepend(QStringLiteral("lightservice"));
    QCommandLineParser parser;
    ServiceOptions options;
    QString error;
    QCOMPARE(int(parseServiceOptions(&parser, arguments, &options, &error)), result);
    QCOMPARE(error.isEmpty(), result != int(ParseResult::Error));
    if (result != int(ParseResult::Ok))
        return;
    QTEST(options.log, "log");
    QTEST(qint64(options.attachLParam), "attachLParam");
    QTEST(options.attachDelayMs, "attachDelayMs");
    QTEST(options.attach, "attach");
    QTEST(options.window, "window");
}

QTEST_MAIN(TestLightDecode)
#include "tst_light_decode.moc"
