#include "config_wnd.h"

#include "light_output.h"
#include "light_profile.h"
#include "settings_file.h"

#include <QCheckBox>
#include <QDebug>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSlider>
#include <QSpinBox>

#include <iterator>
#include <limits>
#include <type_traits>

// The zone, effect and speed values the controls stand for.
using namespace protocol;

namespace {

constexpr int kColourMax = 255;

QByteArray withSuffix(const char *name, int profile)
{
    return QByteArray(name) + (profile == 1 ? QByteArray() : QByteArray("_") + QByteArray::number(profile));
}

// The fifth tab's controls serve every optional state, so their names carry
// no profile number.
QLatin1String controlName(const char *name, int profile, QByteArray *storage)
{
    *storage = profile >= 5 ? QByteArray(name) + "_states" : withSuffix(name, profile);
    return QLatin1String(*storage);
}

// Connects by signature, as the slot names carry the profile's suffix.
void connectByName(const QObject *sender, const char *signal, const QObject *receiver, const QByteArray &slot)
{
    QObject::connect(sender, QByteArray("2") + signal, receiver, QByteArray("1") + slot + "()");
}

}  // namespace

// Every profile's slots do the same to their own profile.
// clang-format off
#define VOSSIK_PROFILE_SLOTS(SUFFIX, NUMBER)                                                                  \
    void ConfigWnd::setVossikColor##SUFFIX() { takeColour(NUMBER); }                                        \
    void ConfigWnd::setVossikZoneAmbient##SUFFIX() { setZone(NUMBER, LightZoneAmbient, "setVosikZoneAmbient" #SUFFIX); } \
    void ConfigWnd::setVossikZoneEvent##SUFFIX() { setZone(NUMBER, LightZoneEvent, "setVossikZoneEvent" #SUFFIX); } \
    void ConfigWnd::setVossikEffectOff##SUFFIX() { setEffect(NUMBER, LightEffectOff, "setVossikEffectOff" #SUFFIX); } \
    void ConfigWnd::setVossikEffectOn##SUFFIX() { setEffect(NUMBER, LightEffectOn, "setVossikEffectOn" #SUFFIX); } \
    void ConfigWnd::setVossikEffectBreathing##SUFFIX()                                                      \
    {                                                                                                       \
        setEffect(NUMBER, LightEffectBreathing, "setVossikEffectBreathing" #SUFFIX);                        \
    }                                                                                                       \
    void ConfigWnd::setVossikEffectBlinking##SUFFIX()                                                       \
    {                                                                                                       \
        setEffect(NUMBER, LightEffectBlinking, "setVossikEffectBlinking" #SUFFIX);                          \
    }                                                                                                       \
    void ConfigWnd::setVossikEffectHeartbeat##SUFFIX()                                                      \
    {                                                                                                       \
        setEffect(NUMBER, LightEffectHeartbeat, "setVossikEffectHeartbeat" #SUFFIX);                        \
    }                                                                                                       \
    void ConfigWnd::setVossikSpeedFast##SUFFIX() { setSpeed(NUMBER, LightSpeedFast, "setVossikSpeedFast" #SUFFIX); } \
    void ConfigWnd::setVossikSpeedSlow##SUFFIX() { setSpeed(NUMBER, LightSpeedSlow, "setVossikSpeedSlow" #SUFFIX); } \
    void ConfigWnd::setVossikSpeedNormal##SUFFIX() { setSpeed(NUMBER, LightSpeedNormal, "setVossikSpeedNormal" #SUFFIX); }

VOSSIK_PROFILE_SLOTS(, 1)
VOSSIK_PROFILE_SLOTS(_2, 2)
VOSSIK_PROFILE_SLOTS(_3, 3)
VOSSIK_PROFILE_SLOTS(_4, 4)

#undef VOSSIK_PROFILE_SLOTS
// clang-format on

ConfigWnd::ConfigWnd(LightOutput *output, QWidget *parent) : QWidget(parent), m_output(output)
{
    setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    if (!m_output)
        return;  // the bare form: nothing to preview with

    // Without a file name QSettings reads nothing, and every control shows its default.
    const bool readable = settingsFileReadable(QStringLiteral("the window shows the defaults"));
    QSettings settings(readable ? settingsFilePath() : QString(), QSettings::IniFormat);
    settings.beginGroup(QLatin1String(kSettingsGroup));
    const qint64 other = storedInteger(settings, QStringLiteral("otherTalkingBool")).value;
    qDebug() << "boolother" << other;
    // As the control window reads it: only 1 changes the colour.
    otherTalkingBool = other == 1 ? 1 : 2;
    (other == 1 ? radioOtherTalkingChange : radioOtherTalkingNoChange)->setChecked(true);
    for (int number : {int(SpeakingProfile), int(SilentProfile), int(ShutdownProfile), int(OthersProfile)}) {
        const Profile p = profile(number);
        *p.effect = LightEffectOn;
        *p.speed = LightSpeedNormal;
        if (number == ShutdownProfile) {
            connect(radioOtherTalkingChange, SIGNAL(clicked()), this, SLOT(otherTalkingTrue()));
            connect(radioOtherTalkingNoChange, SIGNAL(clicked()), this, SLOT(otherTalkingFalse()));
        }
        connectProfile(p);
        loadProfile(p, settings);
    }
    // Read without a preview: only a change by the user previews a state.
    for (int number = kFirstState; number <= kLastState; ++number)
        readState(number, settings);
    settings.endGroup();
    connectStates();
    showState(kFirstState);
}

ConfigWnd::~ConfigWnd()
{
    qDebug() << "ConfigWnd::~ConfigWnd";
}

ConfigWnd::Profile ConfigWnd::profile(int number)
{
    Profile p{};
    p.number = number;
    int *const fields[][6] = {
        {&m_redValue, &m_greenValue, &m_blueValue, &radioEffect, &radioZone, &radioSpeed},
        {&m_redValue_2, &m_greenValue_2, &m_blueValue_2, &radioEffect_2, &radioZone_2, &radioSpeed_2},
        {&m_redValue_3, &m_greenValue_3, &m_blueValue_3, &radioEffect_3, &radioZone_3, &radioSpeed_3},
        {&m_redValue_4, &m_greenValue_4, &m_blueValue_4, &radioEffect_4, &radioZone_4, &radioSpeed_4}};
    if (number >= kFirstState) {
        StateProfile &state = m_states[number - kFirstState];
        p.red = &state.red, p.green = &state.green, p.blue = &state.blue;
        p.effect = &state.effect, p.zone = &state.zone, p.speed = &state.speed;
    } else {
        int *const *own = fields[number - 1];
        p.red = own[0], p.green = own[1], p.blue = own[2], p.effect = own[3], p.zone = own[4], p.speed = own[5];
    }
    // The controls carry the profile's suffix in their object names.
    const auto control = [this, number](auto *&widget, const char *name) {
        QByteArray storage;
        widget = findChild<std::remove_reference_t<decltype(*widget)> *>(controlName(name, number, &storage));
    };
    control(p.redSlider, "redSlider"), control(p.greenSlider, "greenSlider"), control(p.blueSlider, "blueSlider");
    control(p.redBox, "redBox"), control(p.greenBox, "greenBox"), control(p.blueBox, "blueBox");
    control(p.effects[LightEffectOff], "radioEffectOff"), control(p.effects[LightEffectOn], "radioEffectOn");
    control(p.effects[LightEffectBlinking], "radioEffectBlinking");
    control(p.effects[LightEffectBreathing], "radioEffectBreathing");
    control(p.effects[LightEffectHeartbeat], "radioEffectHeartbeat");
    control(p.slow, "radioSpeedSlow"), control(p.normal, "radioSpeedNormal"), control(p.fast, "radioSpeedFast");
    if (number < kFirstState)
        control(p.apply, "applyButton"), control(p.ok, "configOkButton"), control(p.cancel, "configCancelButton");
    return p;
}

void ConfigWnd::connectStates()
{
    const Profile p = profile(kFirstState);
    const std::pair<QSlider *, QSpinBox *> channels[] = {
        {p.redSlider, p.redBox}, {p.greenSlider, p.greenBox}, {p.blueSlider, p.blueBox}};
    for (const auto &channel : channels) {
        channel.first->setRange(0, kColourMax);
        channel.second->setRange(0, kColourMax);
        connect(channel.first, &QSlider::valueChanged, channel.second, &QSpinBox::setValue);
        connect(channel.second, qOverload<int>(&QSpinBox::valueChanged), channel.first, &QSlider::setValue);
        connect(channel.first, &QSlider::valueChanged, this, [this] { takeColour(m_shownState); });
    }
    for (int effect = LightEffectOff; effect <= LightEffectHeartbeat; ++effect)
        connect(p.effects[effect], &QAbstractButton::clicked, this,
                [this, effect] { setEffect(m_shownState, effect, nullptr); });
    const std::pair<QRadioButton *, int> speeds[] = {
        {p.slow, LightSpeedSlow}, {p.normal, LightSpeedNormal}, {p.fast, LightSpeedFast}};
    for (const auto &[button, speed] : speeds)
        connect(button, &QAbstractButton::clicked, this,
                [this, speed = speed] { setSpeed(m_shownState, speed, nullptr); });
    for (int number = kFirstState; number <= kLastState; ++number)
        connect(stateChoice(number), &QAbstractButton::clicked, this, [this, number] { showState(number); });
    connect(checkStateEnabled, &QAbstractButton::clicked, this, [this](bool on) {
        qDebug() << "stateEnabled" << m_shownState << on;
        m_states[m_shownState - kFirstState].enabled = on;
        preview(m_shownState);  // the profile that the state now shows, or would
    });
    // The seconds change nothing the device shows now: no preview.
    spinStateSeconds->setRange(kMinSignalSeconds, kMaxSignalSeconds);
    connect(spinStateSeconds, qOverload<int>(&QSpinBox::valueChanged), this, [this](int seconds) {
        qDebug() << "stateSeconds" << m_shownState << seconds;
        m_states[m_shownState - kFirstState].seconds = seconds;
    });
    connect(configOkButton_5, SIGNAL(clicked()), this, SLOT(close()));
    connect(configOkButton_5, SIGNAL(clicked()), this, SLOT(saveConfig()));
    connect(configCancelButton_5, SIGNAL(clicked()), this, SLOT(close()));
    connect(applyButton_5, SIGNAL(clicked()), this, SLOT(saveConfig()));
}

// As loadProfile reads a profile, into the working copy alone.
void ConfigWnd::readState(int number, QSettings &settings)
{
    const auto read = [&settings, number](const char *key) {
        return storedInteger(settings, QLatin1String(withSuffix(key, number))).value;
    };
    StateProfile &state = m_states[number - kFirstState];
    const qint64 zone = read("radioZone");
    state.zone = zone == LightZoneAmbient ? LightZoneAmbient : LightZoneEvent;
    if (zone != 0 && zone != LightZoneEvent && zone != LightZoneAmbient)
        qDebug() << (withSuffix("zoneValue", number) + " autoset").constData();
    // The controls hold 0..255, and the working copy is what they would show.
    state.red = int(qBound<qint64>(0, read("m_redValue"), kColourMax));
    state.green = int(qBound<qint64>(0, read("m_greenValue"), kColourMax));
    state.blue = int(qBound<qint64>(0, read("m_blueValue"), kColourMax));
    const quint64 effect = quint64(read("radioEffect"));
    state.effect = effect <= LightEffectHeartbeat ? int(effect) : LightEffectOn;
    if (effect > LightEffectHeartbeat)
        qDebug() << (withSuffix("effectValue", number) + " autoset").constData();
    const quint64 speed = quint64(read("radioSpeed"));
    state.speed = speed >= LightSpeedSlow && speed <= LightSpeedFast ? int(speed) : LightSpeedNormal;
    if (speed > LightSpeedFast)
        qDebug() << (withSuffix("speedValue", number) + " autoset").constData();
    state.enabled = read("stateEnabled") == 1;
    if (isTimedSignal(number)) {
        const qint64 seconds = read("stateSeconds");
        state.seconds = signalSeconds(number, seconds);
        if (seconds != 0 && seconds != state.seconds)
            qDebug() << (withSuffix("secondsValue", number) + " autoset").constData();
    }
}

QRadioButton *ConfigWnd::stateChoice(int number) const
{
    QRadioButton *const choices[] = {radioStateSoundMuted, radioStateMicMuted, radioStateAway,      radioStateOffline,
                                     radioStatePoked,      radioStateMessage,  radioStateWhispered, radioStateJoined};
    static_assert(std::size(choices) == kLastState - kFirstState + 1);
    return choices[number - kFirstState];
}

// Puts the state's working copy into the fifth tab's controls, which
// neither change it nor preview meanwhile.
void ConfigWnd::showState(int number)
{
    m_shownState = number;
    const StateProfile state = m_states[number - kFirstState];
    const Profile p = profile(number);
    const std::pair<QSlider *, QSpinBox *> channels[] = {
        {p.redSlider, p.redBox}, {p.greenSlider, p.greenBox}, {p.blueSlider, p.blueBox}};
    const int values[] = {state.red, state.green, state.blue};
    for (int i = 0; i < 3; ++i) {
        const QSignalBlocker sliderQuiet(channels[i].first), boxQuiet(channels[i].second);
        channels[i].first->setValue(values[i]);
        channels[i].second->setValue(values[i]);
    }
    // Checking by code emits no clicked(), the only signal the choices are connected by.
    p.effects[state.effect]->setChecked(true);
    QRadioButton *const speeds[] = {nullptr, p.slow, p.normal, p.fast};
    speeds[state.speed]->setChecked(true);
    checkStateEnabled->setChecked(state.enabled);
    // An untimed state's box shows a dash rather than seconds it does not have.
    const bool timed = isTimedSignal(number);
    labelStateSeconds->setEnabled(timed);
    spinStateSeconds->setEnabled(timed);
    {
        const QSignalBlocker quiet(spinStateSeconds);
        spinStateSeconds->setSpecialValueText(timed ? QString() : QStringLiteral("\u2013"));
        spinStateSeconds->setValue(timed ? state.seconds : spinStateSeconds->minimum());
    }
    stateChoice(number)->setChecked(true);
}

void ConfigWnd::connectProfile(const Profile &p)
{
    const QByteArray colourSlot = withSuffix("setVossikColor", p.number);
    // The slider drives the box before the slot, so the slot reads a box
    // that already shows the new value.
    const std::pair<QSlider *, QSpinBox *> channels[] = {
        {p.redSlider, p.redBox}, {p.blueSlider, p.blueBox}, {p.greenSlider, p.greenBox}};
    for (const auto &channel : channels) {
        channel.first->setRange(0, kColourMax);
        channel.second->setRange(0, kColourMax);
        connect(channel.first, SIGNAL(valueChanged(int)), channel.second, SLOT(setValue(int)));
        connect(channel.second, SIGNAL(valueChanged(int)), channel.first, SLOT(setValue(int)));
        connectByName(channel.first, "valueChanged(int)", this, colourSlot);
    }
    const std::pair<QRadioButton *, const char *> choices[] = {
        {p.effects[LightEffectOff], "setVossikEffectOff"},
        {p.effects[LightEffectOn], "setVossikEffectOn"},
        {p.effects[LightEffectBreathing], "setVossikEffectBreathing"},
        {p.effects[LightEffectBlinking], "setVossikEffectBlinking"},
        {p.effects[LightEffectHeartbeat], "setVossikEffectHeartbeat"},
        {p.fast, "setVossikSpeedFast"},
        {p.normal, "setVossikSpeedNormal"},
        {p.slow, "setVossikSpeedSlow"}};
    for (const auto &choice : choices)
        connectByName(choice.first, "clicked()", this, withSuffix(choice.second, p.number));
    connect(p.ok, SIGNAL(clicked()), this, SLOT(close()));
    connect(p.ok, SIGNAL(clicked()), this, SLOT(saveConfig()));
    connect(p.cancel, SIGNAL(clicked()), this, SLOT(close()));
    connect(p.apply, SIGNAL(clicked()), this, SLOT(saveConfig()));
}

void ConfigWnd::loadProfile(const Profile &p, QSettings &settings)
{
    const auto read = [&settings, &p](const char *key) {
        return storedInteger(settings, QLatin1String(withSuffix(key, p.number))).value;
    };
    // No control shows the zone: it is kept for the save, read as the control window reads it.
    const qint64 zone = read("radioZone");
    *p.zone = zone == LightZoneAmbient ? LightZoneAmbient : LightZoneEvent;
    if (zone != 0 && zone != LightZoneEvent && zone != LightZoneAmbient)
        qDebug() << (withSuffix("zoneValue", p.number) + " autoset").constData();

    const std::tuple<const char *, int *, QSlider *, QSpinBox *> channels[] = {
        {"m_redValue", p.red, p.redSlider, p.redBox},
        {"m_greenValue", p.green, p.greenSlider, p.greenBox},
        {"m_blueValue", p.blue, p.blueSlider, p.blueBox}};
    for (const auto &[key, field, slider, box] : channels) {
        // Below 0 would stay in the working copy, since a slider left at 0
        // emits nothing; above 255 the slider's change brings it to 255.
        *field = int(qBound<qint64>(0, read(key), std::numeric_limits<int>::max()));
        slider->setValue(*field);
        box->setValue(*field);
    }

    const quint64 effect = quint64(read("radioEffect"));
    if (effect <= LightEffectHeartbeat) {
        p.effects[effect]->setChecked(true);
        setEffect(p.number, int(effect), nullptr);
    } else if (effect == 5) {
        qDebug() << withSuffix("effectValue", p.number).constData() << 5;
    } else {
        p.effects[LightEffectOn]->setChecked(true);
        setEffect(p.number, LightEffectOn, nullptr);
        qDebug() << (withSuffix("effectValue", p.number) + " autoset").constData();
    }

    const quint64 speed = quint64(read("radioSpeed"));
    QRadioButton *const speeds[] = {nullptr, p.slow, p.normal, p.fast};
    if (speed == 0) {
        // A missing speed is Normal, as the control window reads it.
        qDebug() << withSuffix("speedValue", p.number).constData() << 0;
        p.normal->setChecked(true);
        *p.speed = LightSpeedNormal;
    } else if (speed <= LightSpeedFast) {
        speeds[speed]->setChecked(true);
        setSpeed(p.number, int(speed), nullptr);
    } else {
        p.normal->setChecked(true);
        setSpeed(p.number, LightSpeedNormal, nullptr);
        qDebug() << (withSuffix("speedValue", p.number) + " autoset").constData();
    }
}

void ConfigWnd::takeColour(int number)
{
    const Profile p = profile(number);
    *p.red = p.redBox->value();
    *p.green = p.greenBox->value();
    *p.blue = p.blueBox->value();
    preview(number);
}

void ConfigWnd::setZone(int number, int zone, const char *logLine)
{
    qDebug() << logLine;
    *profile(number).zone = zone;
    preview(number);
}

void ConfigWnd::setEffect(int number, int effect, const char *logLine)
{
    // At load the slot's own line is written; the table gives it the name.
    static const char *const names[] = {"setVossikEffectOff", "setVossikEffectOn", "setVossikEffectBlinking",
                                        "setVossikEffectBreathing", "setVossikEffectHeartbeat"};
    qDebug() << (logLine ? QByteArray(logLine) : withSuffix(names[effect], number)).constData();
    *profile(number).effect = effect;
    preview(number);
}

void ConfigWnd::setSpeed(int number, int speed, const char *logLine)
{
    static const char *const names[] = {nullptr, "setVossikSpeedSlow", "setVossikSpeedNormal", "setVossikSpeedFast"};
    qDebug() << (logLine ? QByteArray(logLine) : withSuffix(names[speed], number)).constData();
    *profile(number).speed = speed;
    preview(number);
}

void ConfigWnd::preview(int number)
{
    const Profile p = profile(number);
    if (!m_output
        || !m_output->show(protocol::LightCommand::pack(*p.zone, *p.effect, *p.speed, *p.red, *p.green, *p.blue)))
        qDebug() << "Failed to set vossik colors";
}

void ConfigWnd::otherTalkingTrue()
{
    qDebug() << "ConfigWnd::otherTalkingTrue";
    otherTalkingBool = 1;
}

void ConfigWnd::otherTalkingFalse()
{
    qDebug() << "ConfigWnd::otherTalkingFalse";
    otherTalkingBool = 2;
}

void ConfigWnd::saveConfig()
{
    qDebug() << "SAVE SETTINGS";
    qDebug() << "iniPath" << settingsFilePath();
    // clang-format off
    QVector<QPair<QString, int>> values = {
        {"m_redValue", m_redValue},       {"m_redValue_2", m_redValue_2},     {"m_redValue_3", m_redValue_3},
        {"m_redValue_4", m_redValue_4},   {"m_greenValue", m_greenValue},     {"m_greenValue_2", m_greenValue_2},
        {"m_greenValue_3", m_greenValue_3}, {"m_greenValue_4", m_greenValue_4}, {"m_blueValue", m_blueValue},
        {"m_blueValue_2", m_blueValue_2}, {"m_blueValue_3", m_blueValue_3},   {"m_blueValue_4", m_blueValue_4},
        {"radioZone", radioZone},         {"radioZone_2", radioZone_2},       {"radioZone_3", radioZone_3},
        {"radioZone_4", radioZone_4},     {"radioEffect", radioEffect},       {"radioEffect_2", radioEffect_2},
        {"radioEffect_3", radioEffect_3}, {"radioEffect_4", radioEffect_4},   {"radioSpeed", radioSpeed},
        {"radioSpeed_2", radioSpeed_2},   {"radioSpeed_3", radioSpeed_3},     {"radioSpeed_4", radioSpeed_4},
        {"shutdownSettings", shutdownSettings}, {"otherTalkingBool", otherTalkingBool}};
    // clang-format on
    // The optional states' keys follow the 26 above, which stay as they were.
    for (int number = kFirstState; number <= kLastState; ++number) {
        const StateProfile &state = m_states[number - kFirstState];
        const std::pair<const char *, int> keys[] = {{"m_redValue", state.red},
                                                     {"m_greenValue", state.green},
                                                     {"m_blueValue", state.blue},
                                                     {"radioZone", state.zone},
                                                     {"radioEffect", state.effect},
                                                     {"radioSpeed", state.speed},
                                                     {"stateEnabled", state.enabled ? 1 : 0}};
        for (const auto &[key, value] : keys)
            values.append({QString::fromLatin1(withSuffix(key, number)), value});
        if (isTimedSignal(number))
            values.append({QString::fromLatin1(withSuffix("stateSeconds", number)), state.seconds});
    }
    const QString problem = writeSettingsFile(values);
    if (!problem.isEmpty()) {
        // Nothing changed on disk, so there is nothing for the control window to reload.
        qDebug().noquote() << QStringLiteral("Failed to save settings: %1 %2").arg(settingsFilePath(), problem);
        return;
    }
    emit settingsChanged();
}
