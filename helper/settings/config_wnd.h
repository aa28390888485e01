// The "Color settings" window: edits the four light profiles, and on its
// fifth tab the profiles of the optional states (sound muted, microphone
// muted, away, not connected) and of the attention signals (poked, private
// message, whispered to, someone joined) with whether each is shown and how
// long a timed signal lasts, with a live preview on the device; saves them
// for the control window to reload.
#pragma once

#include "light_profile.h"
#include "ui_config_wnd.h"

#include <QWidget>

class LightOutput;
class QPushButton;
class QSettings;
class QRadioButton;
class QSlider;
class QSpinBox;

class ConfigWnd : public QWidget, private Ui::ConfigWnd
{
    Q_OBJECT

public:
    // Previews on `output`, which must outlive the window; without one it is
    // the bare form, which reads no settings and previews nothing.
    explicit ConfigWnd(LightOutput *output = nullptr, QWidget *parent = nullptr);
    ~ConfigWnd() override;

signals:
    void settingsChanged();

public slots:
    // One row per slot family, one column per profile.
    // clang-format off
    void setVossikColor(); void setVossikColor_2(); void setVossikColor_3(); void setVossikColor_4();
    void setVossikZoneAmbient(); void setVossikZoneAmbient_2(); void setVossikZoneAmbient_3(); void setVossikZoneAmbient_4();
    void setVossikZoneEvent(); void setVossikZoneEvent_2(); void setVossikZoneEvent_3(); void setVossikZoneEvent_4();
    void setVossikEffectOff(); void setVossikEffectOff_2(); void setVossikEffectOff_3(); void setVossikEffectOff_4();
    void setVossikEffectOn(); void setVossikEffectOn_2(); void setVossikEffectOn_3(); void setVossikEffectOn_4();
    void setVossikEffectBreathing(); void setVossikEffectBreathing_2(); void setVossikEffectBreathing_3(); void setVossikEffectBreathing_4();
    void setVossikEffectBlinking(); void setVossikEffectBlinking_2(); void setVossikEffectBlinking_3(); void setVossikEffectBlinking_4();
    void setVossikEffectHeartbeat(); void setVossikEffectHeartbeat_2(); void setVossikEffectHeartbeat_3(); void setVossikEffectHeartbeat_4();
    void setVossikSpeedFast(); void setVossikSpeedFast_2(); void setVossikSpeedFast_3(); void setVossikSpeedFast_4();
    void setVossikSpeedSlow(); void setVossikSpeedSlow_2(); void setVossikSpeedSlow_3(); void setVossikSpeedSlow_4();
    void setVossikSpeedNormal(); void setVossikSpeedNormal_2(); void setVossikSpeedNormal_3(); void setVossikSpeedNormal_4();
    // clang-format on
    void saveConfig();
    void otherTalkingTrue();
    void otherTalkingFalse();

private:
    // One profile's fields in the working copy and its controls on its tab.
    struct Profile {
        int number;
        int *red, *green, *blue, *effect, *zone, *speed;
        QSlider *redSlider, *greenSlider, *blueSlider;
        QSpinBox *redBox, *greenBox, *blueBox;
        QRadioButton *effects[5];  // by effect value: Off, On, Blinking, Breathing, Heartbeat
        QRadioButton *slow, *normal, *fast;
        QPushButton *apply, *ok, *cancel;
    };
    Profile profile(int number);

    // The optional states' and the signals' profiles, 5 to 12, share one
    // set of controls on the fifth tab: the chosen state's.
    static constexpr int kFirstState = SoundMutedProfile, kLastState = kProfileCount;
    struct StateProfile {
        int red = 0, green = 0, blue = 0, effect = 1, zone = 1, speed = 2;
        bool enabled = false;
        int seconds = 0;  // a timed signal's alone
    };

    void connectProfile(const Profile &p);
    void connectStates();
    QRadioButton *stateChoice(int number) const;
    void readState(int number, QSettings &settings);
    void showState(int number);
    void loadProfile(const Profile &p, QSettings &settings);
    void takeColour(int number);
    void setZone(int number, int zone, const char *logLine);
    void setEffect(int number, int effect, const char *logLine);
    void setSpeed(int number, int speed, const char *logLine);
    void preview(int number);

    LightOutput *const m_output;
    int m_redValue = 0, m_greenValue = 0, m_blueValue = 0;
    int m_redValue_2 = 0, m_greenValue_2 = 0, m_blueValue_2 = 0;
    int m_redValue_3 = 0, m_greenValue_3 = 0, m_blueValue_3 = 0;
    int m_redValue_4 = 0, m_greenValue_4 = 0, m_blueValue_4 = 0;
    int radioEffect = 1, radioZone = 1, radioSpeed = 2;
    int radioEffect_2 = 1, radioZone_2 = 1, radioSpeed_2 = 2;
    int radioEffect_3 = 1, radioZone_3 = 1, radioSpeed_3 = 2;
    int radioEffect_4 = 1, radioZone_4 = 1, radioSpeed_4 = 2;
    StateProfile m_states[kLastState - kFirstState + 1];
    int m_shownState = kFirstState;
    int shutdownSettings = 0;  // saved for the file's sake; nothing sets or reads it
    int otherTalkingBool = 1;
};
