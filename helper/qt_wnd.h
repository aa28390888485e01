// The helper's hidden control window: holds the light profiles, serves the
// plugin's command words and applies them to the device.
#pragma once

#include "light_profile.h"
#include "ui_qt_wnd.h"

#include <QWidget>

class ConfigWnd;
class QLocalServer;
class QLocalSocket;

class Qt_wnd : public QWidget, private Ui::Qt_wnd
{
    Q_OBJECT

public:
    explicit Qt_wnd(QWidget *parent = nullptr);
    ~Qt_wnd() override;

    // The control window's copy of the settings, as last loaded.
    LightProfile profile(int number) const;
    int otherTalking() const { return otherTalkingBool; }
    ConfigWnd *settingsWindow() const { return m_configWnd; }

private slots:
    void loadConfig();
    void vossikRdy();
    void setOptZone(int zone, int tab);
    void setOptEffect(int effect, int tab);
    void setOptSpeed(int speed, int tab);
    void onIncomingConnection();
    void onReadyRead();
    void onConfigDestroyed();
    void onSetDefault();

private:
    void dispatch(const QString &word);
    void openSettingsWindow();
    void applyProfile(int number);
    void applyCommand(const LightCommand &command);
    int *profileField(int *speaking, int *silent, int *shutdown, int *others, int tab);

    // Starting values before the first load: zone Event, effect On, speed
    // Normal, black, as the settings window starts its profiles.
    int m_greenValue = 0, m_redValue = 0, m_blueValue = 0;
    int m_greenValue_2 = 0, m_redValue_2 = 0, m_blueValue_2 = 0;
    int m_greenValue_3 = 0, m_redValue_3 = 0, m_blueValue_3 = 0;
    int m_greenValue_4 = 0, m_redValue_4 = 0, m_blueValue_4 = 0;
    int radioEffect = LightEffectOn, radioZone = LightZoneEvent, radioSpeed = LightSpeedNormal;
    int radioEffect_2 = LightEffectOn, radioZone_2 = LightZoneEvent, radioSpeed_2 = LightSpeedNormal;
    int radioEffect_3 = LightEffectOn, radioZone_3 = LightZoneEvent, radioSpeed_3 = LightSpeedNormal;
    int radioEffect_4 = LightEffectOn, radioZone_4 = LightZoneEvent, radioSpeed_4 = LightSpeedNormal;
    int otherTalkingBool = 0;
    QLocalServer *m_server = nullptr;
    QLocalSocket *m_socket = nullptr;
    ConfigWnd *m_configWnd = nullptr;
};
