// The helper's hidden control window: holds the light profiles, serves the
// command words of every client of the user and shows the highest-ranking
// voice state among them on the device. It ends once the last client has
// gone, and quietly when no client came for kIdleLimitMs.
#pragma once

#include "light_profile.h"
#include "ui_qt_wnd.h"
#include "voice_state.h"

#include <QMap>
#include <QTimer>
#include <QWidget>

#include <optional>

class CommandChannel;
class ConfigWnd;

class Qt_wnd : public QWidget, private Ui::Qt_wnd
{
    Q_OBJECT

public:
    // A helper with no client and no connection for this long ends.
    static constexpr int kIdleLimitMs = 60 * 1000;

    explicit Qt_wnd(QWidget *parent = nullptr, int idleLimitMs = kIdleLimitMs);
    ~Qt_wnd() override;

    // The control window's copy of the settings, as last loaded.
    LightProfile profile(int number) const;
    int otherTalking() const { return otherTalkingBool; }
    ConfigWnd *settingsWindow() const { return m_configWnd; }
    // An orderly end, as when the last client has said Shutdown.
    void endAllSessions();

private slots:
    void loadConfig();
    void vossikRdy();
    void setOptZone(int zone, int tab);
    void setOptEffect(int effect, int tab);
    void setOptSpeed(int speed, int tab);
    void onConfigDestroyed();
    void onSetDefault();
    void readSettings();

private:
    bool dispatch(qint64 client, const QString &word);
    void setVoiceState(qint64 client, VoiceState state);
    void showVoiceState(std::optional<VoiceState> about);
    void addClient(qint64 client);
    void removeClient(qint64 client);
    void onConnectionClosed(qint64 client);
    void endIfNoClients();
    void stopServing();
    void updateIdleTimer();
    void openSettingsWindow();
    void applyProfile(int number);
    void applyCommand(const protocol::LightCommand &command);
    int *profileField(int *speaking, int *silent, int *shutdown, int *others, int tab);

    // Starting values before the first load: zone Event, effect On, speed
    // Normal, black, as the settings window starts its profiles.
    int m_greenValue = 0, m_redValue = 0, m_blueValue = 0;
    int m_greenValue_2 = 0, m_redValue_2 = 0, m_blueValue_2 = 0;
    int m_greenValue_3 = 0, m_redValue_3 = 0, m_blueValue_3 = 0;
    int m_greenValue_4 = 0, m_redValue_4 = 0, m_blueValue_4 = 0;
    int radioEffect = protocol::LightEffectOn, radioZone = protocol::LightZoneEvent,
        radioSpeed = protocol::LightSpeedNormal;
    int radioEffect_2 = protocol::LightEffectOn, radioZone_2 = protocol::LightZoneEvent,
        radioSpeed_2 = protocol::LightSpeedNormal;
    int radioEffect_3 = protocol::LightEffectOn, radioZone_3 = protocol::LightZoneEvent,
        radioSpeed_3 = protocol::LightSpeedNormal;
    int radioEffect_4 = protocol::LightEffectOn, radioZone_4 = protocol::LightZoneEvent,
        radioSpeed_4 = protocol::LightSpeedNormal;
    int otherTalkingBool = 0;
    CommandChannel *m_channel = nullptr;
    ClientStates m_clients;
    QMap<qint64, QObject *> m_clientWatches;  // the end of each client's process
    std::optional<VoiceState> m_shown;        // what the light shows of the clients
    QTimer m_idleTimer;
    bool m_ending = false;
    ConfigWnd *m_configWnd = nullptr;
};
