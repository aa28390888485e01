// The helper's hidden control window: holds the light profiles, serves the
// command words of every client of the user and shows what the rule gives
// of them on the device (light_rule.h), with a timer for the end of a timed
// signal. It ends once the last client has gone, and quietly when no client
// came for kIdleLimitMs; a standalone helper does neither, and ends only
// when asked to. While it serves, TeamSpeak 5/6's Remote Apps client (if
// given) is one more client, and so is the tray menu's toggle while it has
// the lights off.
#pragma once

#include "command_words.h"
#include "light_profile.h"
#include "light_rule.h"
#include "ui_qt_wnd.h"

#include <QMap>
#include <QTimer>
#include <QWidget>

#include <limits>
#include <optional>

class CommandChannel;
class ConfigWnd;
class LightOutput;
namespace remote_apps {
class Client;
}

class Qt_wnd : public QWidget, private Ui::Qt_wnd
{
    Q_OBJECT

public:
    // A helper with no client and no connection for this long ends.
    static constexpr int kIdleLimitMs = 60 * 1000;
    // The tray menu's toggle, as a client no process can be.
    static constexpr qint64 kTrayClientId = std::numeric_limits<qint64>::min() + 1;

    // Shows the clients' state through `output`, which must outlive it, as
    // must `remoteApps`.
    explicit Qt_wnd(LightOutput &output, QWidget *parent = nullptr, int idleLimitMs = kIdleLimitMs,
                    remote_apps::Client *remoteApps = nullptr, bool standalone = false);
    ~Qt_wnd() override;

    // The control window's copy of the settings, as last loaded.
    LightProfile profile(int number) const;
    int otherTalking() const { return otherTalkingBool; }
    ConfigWnd *settingsWindow() const { return m_configWnd; }
    // An orderly end, as when the last client has said Shutdown.
    void endAllSessions();
    // That end, with any settings window closed, then quitRequested().
    void quit();
    void openSettingsWindow();
    // Whether the light shows the clients' state: no client has it off.
    bool lightsOn() const { return !m_light.clients().lightsOff(); }
    bool trayLightsOff() const { return m_light.clients().contains(kTrayClientId); }
    void setTrayLightsOff(bool off);
    // Ends every timed signal now, as the plugin's hotkey does.
    void dismissSignals();
    // The clients that are processes (TeamSpeak 3 plugins).
    int processClients() const;

signals:
    void servingStarted();
    // Clients came or went, or one's toggle changed.
    void clientsChanged();
    void quitRequested();

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
    friend class TestControlWindow;  // plays clients that the socket cannot tell apart in one process

    void dispatch(qint64 client, protocol::CommandWord command);
    void carryOut(const LightRule::Post &post, std::int64_t now);
    void showState(LightState state);
    void addClient(qint64 client);
    void removeClient(qint64 client);
    void onConnectionClosed(qint64 client);
    void endIfNoClients();
    void stopServing();
    void updateIdleTimer();
    void onServing();
    void applyProfile(int number);
    void applyShutdown();
    void applyCommand(const protocol::LightCommand &command);
    LightProfile *profileOfTab(int tab);

    // By profile number - 1. Before the first load each is zone Event,
    // effect On, speed Normal, black, as the settings window starts its
    // profiles.
    LightOutput &m_output;
    LightProfile m_profiles[kProfileCount];
    int otherTalkingBool = 0;
    CommandChannel *m_channel = nullptr;
    remote_apps::Client *const m_remoteApps;
    const bool m_standalone;
    LightRule m_light;
    QMap<qint64, QObject *> m_clientWatches;  // the end of each client's process
    LightRule::Post m_remotePost;             // what TeamSpeak 5/6's words so far would show
    bool m_remoteFlushDue = false;
    QTimer m_signalTimer;  // the end of the timed signal that shows
    QTimer m_idleTimer;
    bool m_ending = false;
    ConfigWnd *m_configWnd = nullptr;
};
