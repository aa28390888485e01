// The "Color settings" window's behaviour, previewing through the real light
// link to a stand-in service endpoint that records what is posted.
#include "config_wnd.h"
#include "light_control_api.h"
#include "light_profile.h"
#include "light_router.h"
#include "message_endpoint.h"
#include "settings_file.h"
#include "test_support.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QOperatingSystemVersion>
#include <QSettings>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QtTest>

#include <memory>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

class TestConfigWindow : public QObject
{
    Q_OBJECT

private:
    PrivateRuntimeDir m_runtime;
    QTemporaryDir m_settings;
    const QString m_file = m_settings.filePath(QLatin1String(protocol::kSettingsFileName));
    std::unique_ptr<QWidget> m_serviceWindow;
    platform::Handle m_service = 0;
    std::unique_ptr<LightRouter> m_router;
    std::unique_ptr<MessageRecorder> m_recorder;

    // The previews posted since the last call, as "wParam/lParam" in hex.
    QStringList previews()
    {
        QTest::qWait(20);
        QStringList seen;
        for (const platform::Message &m : m_recorder->to(m_service, g_lightApi->commandMsg))
            seen << QString::asprintf("%06llx/%06llx", qulonglong(m.wParam), qulonglong(m.lParam));
        m_recorder->messages.clear();
        return seen;
    }

    QStringList saved(const QStringList &keys) const
    {
        QSettings settings(m_file, QSettings::IniFormat);
        QStringList values;
        for (const QString &key : keys)
            values << key + QLatin1Char('=') + settings.value(key.contains('/') ? key : "colors/" + key).toString();
        return values;
    }

    template <typename T>
    static T *child(QWidget *window, const char *name)
    {
        return window->findChild<T *>(QLatin1String(name));
    }

private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(settings);
        g_settingsDir = m_settings.path();  // without its separator, still the folder the file is in
        m_serviceWindow = std::make_unique<QWidget>();
        m_service = platform::openEndpoint(m_serviceWindow.get());
        g_lightApi = new LightControlApi;
        startLightHandshake(g_lightApi, 0);
        g_lightApi->serviceWnd = m_service;
        m_router = std::make_unique<LightRouter>(LightService::Zell, g_lightApi, nullptr);
    }

    void init()
    {
        QFile::remove(m_file);
        m_recorder = std::make_unique<MessageRecorder>();
        previews();  // drop what earlier windows posted
    }

    void cleanupTestCase()
    {
        m_router.reset();
        freeLightControlApi(g_lightApi);
    }

    // Edited by hand while the window is open, its group header left without
    // its ']': the save keeps the window's values and the file's other keys,
    // the helper's Remote Apps key and the file's user-only mode among them,
    // and tells the control window to reload.
    void savesOverAFileBrokenMeanwhile()
    {
        ConfigWnd window(m_router.get());
        QSignalSpy changed(&window, &ConfigWnd::settingsChanged);
        child<QSlider>(&window, "redSlider")->setValue(9);
        writeFile(m_file, "[colors\nm_redValue=7\nlater=1\n[teamspeak]\nremoteAppsKey=k-1\n");
        const QFile::Permissions userOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;
        QVERIFY(QFile::setPermissions(m_file, userOnly));
        window.saveConfig();
        QCOMPARE(changed.count(), 1);
        QCOMPARE(saved({"m_redValue", "later", "teamspeak/remoteAppsKey"}),
                 (QStringList{"m_redValue=9", "later=1", "teamspeak/remoteAppsKey=k-1"}));
        if (QOperatingSystemVersion::currentType() != QOperatingSystemVersion::Windows)  // modes are POSIX's
            QCOMPARE(QFile::permissions(m_file), userOnly);
    }

    // Loading previews each of the four profiles, in their order: at a first
    // start each once, else each control set from the file. The optional
    // states' profiles preview only when the user changes them.
    void loadingPreviewsInProfileOrder()
    {
        ConfigWnd(m_router.get());  // at a first start, gone at once
        QCOMPARE(previews(), QStringList(QVector<QString>(4, QStringLiteral("010002/000000")).toList()));
        writeFile(m_file, "[colors]\nm_redValue=1\nradioEffect=2\nradioSpeed=3\nm_redValue_2=2\nradioZone_2=2\n"
                          "m_redValue_3=3\nm_redValue_4=4\nm_redValue_5=5\nradioEffect_6=2\nstateEnabled_7=1\n");
        ConfigWnd window(m_router.get());
        QCOMPARE(previews(), (QStringList{"010102/010000", "010202/010000", "010203/010000",  // colour, effect, speed
                                          "020102/020000", "020002/020000",  // silent, Ambient: colour, effect Off
                                          "010102/030000", "010002/030000", "010102/040000", "010002/040000"}));
    }

    // The third tab edits profile _4, the fourth profile _3; a spin-box
    // change previews once, through its slider, and a click on a checked
    // radio previews again.
    void controlsEditTheirOwnProfile()
    {
        ConfigWnd window(m_router.get());
        previews();
        child<QSlider>(&window, "redSlider_4")->setValue(10);
        QCOMPARE(previews(), QStringList{"010002/0a0000"});
        QSpinBox *box = child<QSpinBox>(&window, "greenBox_3");
        box->selectAll();
        QTest::keyClicks(box, QStringLiteral("12"));
        QCOMPARE(child<QSlider>(&window, "greenSlider_3")->value(), 12);
        QCOMPARE(previews(), (QStringList{"010002/000100", "010002/000c00"}));
        QAbstractButton *heartbeat = child<QAbstractButton>(&window, "radioEffectHeartbeat_2");
        heartbeat->click();
        heartbeat->click();
        QCOMPARE(previews(), (QStringList{"010402/000000", "010402/000000"}));
        window.saveConfig();
        QCOMPARE(saved({"m_redValue_4", "m_greenValue_3", "m_redValue_3"}),
                 (QStringList{"m_redValue_4=10", "m_greenValue_3=12", "m_redValue_3=0"}));
    }

    // Each tab's buttons act on the whole window.
    void buttons_data()
    {
        // clang-format off
        columns<QByteArray, bool, bool>({"button", "staysOpen", "writes"});
        QTest::newRow("Apply on the first tab") << QByteArray("applyButton") << true << true;
        QTest::newRow("Apply on the options tab") << QByteArray("applyButton_3") << true << true;
        QTest::newRow("Ok on the others tab") << QByteArray("configOkButton_4") << false << true;
        QTest::newRow("Apply on the states tab") << QByteArray("applyButton_5") << true << true;
        QTest::newRow("Cancel on the states tab") << QByteArray("configCancelButton_5") << false << false;
        QTest::newRow("Cancel") << QByteArray("configCancelButton_2") << false << false;
        // clang-format on
    }
    void buttons()
    {
        QFETCH(QByteArray, button);
        QFETCH(bool, staysOpen);
        QFETCH(bool, writes);
        writeFile(m_file, "[colors]\nradioZone_2=2\notherTalkingBool=1\n");  // Ambient, which no control shows
        auto *window = new ConfigWnd(m_router.get());
        QPointer<ConfigWnd> alive(window);
        window->show();
        child<QSlider>(window, "blueSlider")->setValue(40);
        child<QSlider>(window, "redSlider_3")->setValue(30);
        child<QAbstractButton>(window, "radioOtherTalkingNoChange")->click();
        QStringList atEmit;  // what the control window would see when it reloads
        connect(window, &ConfigWnd::settingsChanged, this, [&] {
            atEmit << QStringLiteral("visible=%1").arg(window->isVisible())
                   << saved({"m_blueValue", "m_redValue_3", "otherTalkingBool", "radioZone_2"});
        });
        child<QAbstractButton>(window, button.constData())->click();
        const QStringList expected = {"visible=" + QString::number(staysOpen), "m_blueValue=40", "m_redValue_3=30",
                                      "otherTalkingBool=2", "radioZone_2=2"};
        QCOMPARE(atEmit, writes ? expected : QStringList());
        QCOMPARE(saved({"otherTalkingBool"}), QStringList{writes ? "otherTalkingBool=2" : "otherTalkingBool=1"});
        QTRY_COMPARE(alive.isNull(), !staysOpen);  // a closed window deletes itself
        delete alive.data();
    }

    // The fifth tab's one set of controls edits the chosen state's profile:
    // choosing a state shows what was read for it (missing keys 0, a speed
    // of 0 Normal, only stateEnabled 1 on, a timed signal's seconds or its
    // default) and previews nothing; each change previews that profile, a
    // change of the seconds none, and a save writes it and leaves the
    // others' keys as they were read. (Keys and groups that are not the
    // window's: the golden dump of tst_control_window.)
    void statesEditTheirOwnProfile_data()
    {
        // clang-format off
        // The chosen state's stateSeconds in the file (null: none), and the seconds shown (0: the box disabled).
        columns<QByteArray, int, QByteArray, int>({"choice", "number", "seconds", "shownSeconds"});
        QTest::newRow("sound muted") << QByteArray("radioStateSoundMuted") << 5 << QByteArray() << 0;
        QTest::newRow("microphone muted") << QByteArray("radioStateMicMuted") << 6 << QByteArray() << 0;
        QTest::newRow("away") << QByteArray("radioStateAway") << 7 << QByteArray() << 0;
        QTest::newRow("not connected, seconds of its own") << QByteArray("radioStateOffline") << 8 << QByteArray("30") << 0;
        QTest::newRow("poked, no seconds") << QByteArray("radioStatePoked") << 9 << QByteArray() << 5;
        QTest::newRow("poked, 30 s") << QByteArray("radioStatePoked") << 9 << QByteArray("30") << 30;
        QTest::newRow("private message, 0 s") << QByteArray("radioStateMessage") << 10 << QByteArray("0") << 5;
        QTest::newRow("whispered to, seconds of its own") << QByteArray("radioStateWhispered") << 11 << QByteArray("30") << 0;
        QTest::newRow("someone joined, 61 s") << QByteArray("radioStateJoined") << 12 << QByteArray("61") << 3;
        // clang-format on
    }
    void statesEditTheirOwnProfile()
    {
        QFETCH(QByteArray, choice);
        QFETCH(int, number);
        QFETCH(QByteArray, seconds);
        QFETCH(int, shownSeconds);
        // red, green, blue, zone, effect, speed, enabled, seconds as the window reads them
        QVector<QVector<int>> read = {{5, 50, 150, 2, 0, 1, 1},   {6, 60, 160, 1, 2, 3, 0}, {7, 70, 0, 2, 3, 2, 0},
                                      {255, 0, 180, 1, 1, 2, 0},  {9, 90, 190, 2, 2, 3, 1}, {10, 100, 200, 1, 4, 1, 0},
                                      {11, 110, 210, 2, 3, 2, 1}, {0, 0, 0, 1, 0, 2, 0}};
        for (int state = 5; state <= 12; ++state)
            read[state - 5] << (state == number        ? shownSeconds
                                : isTimedSignal(state) ? defaultSignalSeconds(state)
                                                       : 0);
        // "key" or, with values, "key=value" for each key of a state.
        const auto keysOf = [](int state, const QVector<int> &values = {}) {
            QStringList keys{"m_redValue",  "m_greenValue", "m_blueValue", "radioZone",
                             "radioEffect", "radioSpeed",   "stateEnabled"};
            for (int i = 0; i < keys.size(); ++i)
                keys[i] += QStringLiteral("_%1").arg(state)
                           + (values.isEmpty() ? QString() : QStringLiteral("=%1").arg(values[i]));
            return keys;
        };
        // In the file most states are as read; 7 lacks its blue and has speed 0 (Normal), 8 is out of range
        // throughout, 12 is missing.
        QByteArray ini = "[colors]\nm_redValue_7=7\nm_greenValue_7=70\nradioZone_7=2\nradioEffect_7=3\nradioSpeed_7=0\n"
                         "m_redValue_8=300\nm_greenValue_8=-4\nm_blueValue_8=180\nradioZone_8=7\nradioEffect_8=9\n"
                         "radioSpeed_8=5\nstateEnabled_8=2\n";
        for (const int state : {5, 6, 9, 10, 11})
            ini += keysOf(state, read[state - 5]).join('\n').toUtf8() + '\n';
        if (!seconds.isNull())
            ini += "stateSeconds_" + QByteArray::number(number) + '=' + seconds + '\n';
        writeFile(m_file, ini);
        ConfigWnd window(m_router.get());
        const auto shown = [&window] {
            QVector<int> values;
            for (const QByteArray colour : {"red", "green", "blue"}) {
                const int box = child<QSpinBox>(&window, colour + "Box_states")->value();
                values << (child<QSlider>(&window, colour + "Slider_states")->value() == box ? box : -1);
            }
            values << 0;  // no control shows the zone
            const auto checkedOf = [&window](const QByteArray &prefix, const QVector<QByteArray> &names) {
                int checked = -1;
                for (int i = 0; i < names.size(); ++i)
                    if (child<QAbstractButton>(&window, prefix + names[i] + "_states")->isChecked())
                        checked = i;
                return checked;
            };
            const auto *box = child<QSpinBox>(&window, "spinStateSeconds");
            return values << checkedOf("radioEffect", {"Off", "On", "Blinking", "Breathing", "Heartbeat"})
                          << checkedOf("radioSpeed", {"Slow", "Normal", "Fast"}) + 1  // 0: none
                          << int(child<QCheckBox>(&window, "checkStateEnabled")->isChecked())
                          << (box->isEnabled() ? box->value() : 0);
        };
        const auto withoutZone = [](QVector<int> values) {
            values[3] = 0;
            return values;
        };
        previews();
        const char *const other = number == 12 ? "radioStatePoked" : "radioStateJoined";  // timed, other seconds
        child<QAbstractButton>(&window, other)->click();
        child<QAbstractButton>(&window, choice.constData())->click();
        QCOMPARE(shown(), withoutZone(read[number - 5]));
        QCOMPARE(previews(), QStringList());

        QVector<int> edited = read[number - 5];
        const auto command = [&edited] {
            return QString::asprintf("%02x%02x%02x/%02x%02x%02x", edited[3], edited[4], edited[5], edited[0], edited[1],
                                     edited[2]);
        };
        QStringList expected;
        child<QSlider>(&window, "redSlider_states")->setValue(edited[0] = 100);
        expected << command();
        child<QAbstractButton>(&window, "radioEffectHeartbeat_states")->click();
        edited[4] = 4;
        expected << command();
        child<QAbstractButton>(&window, "radioSpeedFast_states")->click();
        edited[5] = 3;
        expected << command();
        if (shownSeconds) {
            QSpinBox *box = child<QSpinBox>(&window, "spinStateSeconds");
            box->selectAll();
            QTest::keyClicks(box, QStringLiteral("42"));
            edited[7] = 42;
        }
        child<QAbstractButton>(&window, "checkStateEnabled")->click();
        edited[6] = !edited[6];
        expected << command();
        QCOMPARE(previews(), expected);
        child<QAbstractButton>(&window, other)->click();
        child<QAbstractButton>(&window, choice.constData())->click();
        QCOMPARE(shown(), withoutZone(edited));
        QCOMPARE(previews(), QStringList());

        window.saveConfig();
        QStringList secondsKeys, secondsSaved;
        for (int state = 5; state <= 12; ++state) {
            const QVector<int> &values = state == number ? edited : read[state - 5];
            QCOMPARE(saved(keysOf(state)), keysOf(state, values));
            // Only a timed signal's are the window's; another state's stay as the file has them.
            secondsKeys << QStringLiteral("stateSeconds_%1").arg(state);
            secondsSaved << secondsKeys.last() + '='
                                + (isTimedSignal(state) ? QString::number(values[7])
                                                        : QString::fromLatin1(state == number ? seconds : ""));
        }
        QCOMPARE(saved(secondsKeys), secondsSaved);
    }

    // A file that cannot be read is never opened, so a FIFO blocks nothing:
    // the window shows the defaults. A save fails whole (also one that would
    // write more than the helper reads), says why and tells
    // nobody to reload, and whatever stands in the file's place stays. Then
    // nothing of the failed save is pending: a new window on a good file in
    // that place shows the file and writes nothing. (A folder in its place
    // is no regular file, as the FIFO is.)
    void refusedFiles_data()
    {
        // clang-format off
        columns<QString, QString, QString>({"place", "loadReason", "saveReason"});
        QTest::newRow("folder inside a file") << "under a file" << "does not exist" << "could not be written";
        QTest::newRow("FIFO") << "fifo" << "is not a regular file" << "is not a regular file";
        QTest::newRow("2 MiB") << "2 MiB" << "is 2097175 bytes, more than the 1048576 read"
                               << "is 2097175 bytes, more than the 1048576 read";
        QTest::newRow("1 MiB, read but not saved") << "1 MiB" << QString() << "would be 1049914 bytes, more than the 1048576 read";
        QTest::newRow("unreadable") << "unreadable" << "cannot be read" << "cannot be read";
        QTest::newRow("readable, no room to write") << "size limit" << QString() << "could not be written";
        // clang-format on
    }
    void refusedFiles()
    {
        QFETCH(QString, place);
        QFETCH(QString, loadReason);
        QFETCH(QString, saveReason);
        QTemporaryDir dir;
        const auto restore = qScopeGuard([previous = g_settingsDir] { g_settingsDir = previous; });
        g_settingsDir = dir.filePath(place == "under a file" ? QStringLiteral("file/") : QString());
        const QString path = settingsFilePath();
        if (place == "fifo") {
#ifdef Q_OS_UNIX
            QVERIFY(mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
            alarm(5);  // a read of the FIFO would block for ever: end the run instead
#else
            QSKIP("no FIFOs here");
#endif
        } else {
            QFile file(place == "under a file" ? dir.filePath(QStringLiteral("file")) : path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("[colors]\nradioEffect=2\n");  // Blinking, if it were read
            if (place == "2 MiB")
                file.write(QByteArray(2 << 20, '\n'));
            if (place == "1 MiB")  // the most the helper reads: the save's keys would take it past
                file.write(QByteArray((1 << 20) - int(file.size()), '\n'));
            if (place == "unreadable" && (!file.setPermissions({}) || QFileInfo(path).isReadable()))
                QSKIP("this user reads every file");
        }
        const auto state = [&path] {
            const QFileInfo info(path);
            return QStringLiteral("exists=%1 file=%2 size=%3").arg(info.exists()).arg(info.isFile()).arg(info.size());
        };
        const QString before = state();
        LogCapture log;
        ConfigWnd window(m_router.get());
        QSignalSpy changed(&window, &ConfigWnd::settingsChanged);
#ifdef Q_OS_UNIX
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        const rlimit previous = limit;
        if (place == "size limit") {
            signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails instead of ending the run
            limit.rlim_cur = 64;
            QVERIFY(setrlimit(RLIMIT_FSIZE, &limit) == 0);
        }
        window.saveConfig();
        setrlimit(RLIMIT_FSIZE, &previous);
        alarm(0);
#else
        if (place == "size limit")
            QSKIP("no file size limit here");
        window.saveConfig();
#endif
        QVERIFY(child<QAbstractButton>(&window, loadReason.isEmpty() ? "radioEffectBlinking" : "radioEffectOff")
                    ->isChecked());
        QCOMPARE(changed.count(), 0);
        QCOMPARE(log.count("Settings file " + path + ' ' + loadReason + ": the window shows the defaults"),
                 int(!loadReason.isEmpty()));
        QCOMPARE(log.count("Failed to save settings: " + path + ' ' + saveReason), 1);
        QCOMPARE(state(), before);

        if (place == "under a file")
            QVERIFY(QFile::remove(dir.filePath(QStringLiteral("file")))
                    && QDir().mkdir(dir.filePath(QStringLiteral("file"))));
        else
            QVERIFY(QFile::remove(path));
        const QByteArray good = "[colors]\nradioEffect=3\n";
        writeFile(path, good);
        ConfigWnd again(m_router.get());
        QVERIFY(child<QAbstractButton>(&again, "radioEffectBreathing")->isChecked());
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), good);
    }
};

QTEST_MAIN(TestConfigWindow)
#include "tst_config_window.moc"
