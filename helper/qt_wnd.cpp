#include "qt_wnd.h"

#include "command_channel.h"
#include "command_server_name.h"
#include "command_words.h"
#include "config_wnd.h"
#include "light_output.h"
#include "remote_apps_client.h"
#include "settings_file.h"
#include "window_owner_watch.h"
#include "window_placement.h"

#include <QDebug>
#include <QSettings>

#include <utility>

#include <algorithm>
#include <chrono>

namespace {

constexpr int kStartDelayMs = 200;
constexpr int kSettingsWindowX = 100;
constexpr int kSettingsWindowY = 150;

std::int64_t nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

Qt_wnd::Qt_wnd(LightOutput &output, QWidget *parent, int idleLimitMs, remote_apps::Client *remoteApps, bool standalone)
    : QWidget(parent), m_output(output), m_remoteApps(remoteApps), m_standalone(standalone)
{
    setupUi(this);
    if (m_remoteApps) {
        using remote_apps::Client;
        // One message may give several words (a connection's end: stop,
        // micunmuted, back, offline): the device is shown only where they
        // end up, once they are all in.
        connect(m_remoteApps, &Client::word, this, [this](protocol::CommandWord word) {
            addClient(Client::kClientId);
            const LightRule::Post post = m_light.onWord(Client::kClientId, word, nowMs());
            if (post.kind != LightRule::Post::Nothing)
                m_remotePost = post;
            if (!m_remoteFlushDue) {
                m_remoteFlushDue = true;
                QTimer::singleShot(0, this, [this] {
                    m_remoteFlushDue = false;
                    carryOut(std::exchange(m_remotePost, LightRule::Post{}), nowMs());
                });
            }
        });
        connect(m_remoteApps, &Client::ended, this, [this] { removeClient(Client::kClientId); });
    }
    m_idleTimer.setSingleShot(true);
    m_idleTimer.setInterval(idleLimitMs);
    connect(&m_idleTimer, &QTimer::timeout, this, [this] {
        // Quietly: whatever the light shows is another helper's or nobody's.
        qDebug() << "No client for" << m_idleTimer.interval() / 1000 << "s - ending";
        stopServing();
        close();
    });
    if (!m_standalone)
        m_idleTimer.start();
    // A signal's end shows on time, not up to 5 % late as a coarse timer may.
    m_signalTimer.setSingleShot(true);
    m_signalTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_signalTimer, &QTimer::timeout, this, [this] {
        const std::int64_t now = nowMs();
        carryOut(m_light.onTime(now), now);
    });
    QTimer::singleShot(kStartDelayMs, this, SLOT(vossikRdy()));
}

Qt_wnd::~Qt_wnd()
{
    // Now, not with the other children: its connections report their end
    // to this window, which must still be whole then.
    if (m_channel)
        m_channel->disconnect(this);
    delete m_channel;
    m_channel = nullptr;
    qDeleteAll(m_clientWatches);
    freeLightControlApi(g_lightApi);
}

LightProfile Qt_wnd::profile(int number) const
{
    return number >= 1 && number <= kProfileCount ? m_profiles[number - 1] : LightProfile{};
}

void Qt_wnd::loadConfig()
{
    readSettings();
    // A user who saves may just have started the device's software.
    m_output.searchAgain();
    onSetDefault();
}

void Qt_wnd::readSettings()
{
    // Without a file name QSettings reads nothing: every key is missing.
    const bool readable = settingsFileReadable(QStringLiteral("every profile is off"));
    QSettings settings(readable ? settingsFilePath() : QString(), QSettings::IniFormat);
    settings.beginGroup(QLatin1String(kSettingsGroup));
    for (int n = SpeakingProfile; n <= kProfileCount; ++n) {
        const QString suffix = profileSuffix(n);
        const auto stored = [&settings, &suffix](const char *key) {
            return storedInteger(settings, QLatin1String(key) + suffix);
        };
        const auto read = [&stored](const char *key) { return stored(key).toInt(); };
        LightProfile &p = m_profiles[n - 1];
        p.green = clampStoredColour(QLatin1String("m_greenValue") + suffix, stored("m_greenValue"));
        p.red = clampStoredColour(QLatin1String("m_redValue") + suffix, stored("m_redValue"));
        p.blue = clampStoredColour(QLatin1String("m_blueValue") + suffix, stored("m_blueValue"));
        // The newer profiles may well be absent: a file without them reads
        // as it always did, without a complaint about their zone.
        if (n <= OthersProfile || settings.contains(QLatin1String("radioZone") + suffix))
            setOptZone(read("radioZone"), n);
        setOptEffect(read("radioEffect"), n);
        // 0 is no speed the device knows: a missing speed is Normal, as
        // the settings window shows it.
        const int speed = read("radioSpeed");
        setOptSpeed(speed == 0 ? int(protocol::LightSpeedNormal) : speed, n);
    }
    otherTalkingBool = storedInteger(settings, QStringLiteral("otherTalkingBool")).toInt();
    const auto enabled = [&settings](int profile) {
        return storedInteger(settings, QStringLiteral("stateEnabled_%1").arg(profile)).value == 1;
    };
    ShowOptions options;
    options.others = otherTalkingBool == 1;
    for (int fact = 0; fact < kFactCount; ++fact)
        options.enabled[fact] = enabled(SoundMutedProfile + fact);
    for (int signal = 0; signal < kSignalCount; ++signal) {
        const int profile = signalProfile(Signal(signal));
        options.signalsOn[signal] = enabled(profile);
        if (isTimedSignal(profile))
            options.seconds[signal] =
                signalSeconds(profile, storedInteger(settings, QStringLiteral("stateSeconds_%1").arg(profile)).value);
    }
    // A signal's clock runs on whatever its state: enabled mid-signal, it
    // shows for the rest of its time; new seconds count from the next word.
    m_light.setOptions(options);
    settings.endGroup();
}

void Qt_wnd::vossikRdy()
{
    m_channel = new CommandChannel(
        QString::fromStdString(platform::commandServerName()),
        [this](qint64 client, protocol::CommandWord command) { dispatch(client, command); }, this);
    connect(m_channel, &CommandChannel::connectionClosed, this, &Qt_wnd::onConnectionClosed);
    connect(m_channel, &CommandChannel::connectionsChanged, this, &Qt_wnd::updateIdleTimer);
    connect(m_channel, &CommandChannel::serving, this, &Qt_wnd::onServing);
    // A waiting helper leaves TeamSpeak 5/6 to the one that serves.
    if (m_remoteApps)
        connect(m_channel, &CommandChannel::serving, m_remoteApps, &remote_apps::Client::start);
    m_channel->open();
}

void Qt_wnd::onServing()
{
    // Read once serving: they may have changed while another helper served.
    readSettings();
    // At login or between sessions: the shutdown profile once, then the
    // light is left alone until a client comes.
    if (m_standalone && m_light.clients().empty()) {
        qDebug() << "No client yet: shutdown profile";
        applyShutdown();
    }
    emit servingStarted();
}

LightProfile *Qt_wnd::profileOfTab(int tab)
{
    return tab >= 1 && tab <= kProfileCount ? &m_profiles[tab - 1] : nullptr;
}

void Qt_wnd::setOptZone(int zone, int tab)
{
    LightProfile *field = profileOfTab(tab);
    if (!field)
        qDebug() << "OPTZONE TAB ERROR";
    else if (zone == protocol::LightZoneEvent || zone == protocol::LightZoneAmbient)
        field->zone = zone;
    else
        qDebug() << "setOptZone ERROR!";
}

void Qt_wnd::setOptEffect(int effect, int tab)
{
    LightProfile *field = profileOfTab(tab);
    if (!field)
        qDebug() << "OPTEFFECT TAB ERROR";
    else if (effect >= protocol::LightEffectOff && effect <= protocol::LightEffectHeartbeat)
        field->effect = effect;
    else
        qDebug() << "setOptEffect ERROR!";
}

void Qt_wnd::setOptSpeed(int speed, int tab)
{
    LightProfile *field = profileOfTab(tab);
    if (!field)
        qDebug() << "OPTSPEED TAB ERROR";
    else if (speed >= 0 && speed <= protocol::LightSpeedFast)  // 0 is what a missing key reads as
        field->speed = speed;
    else
        qDebug() << "setOptSpeed ERROR!";
}

void Qt_wnd::dispatch(qint64 client, protocol::CommandWord command)
{
    // A request leaves its sender what it was: a short-lived sender that
    // became a client would end the session when it exits.
    if (command == protocol::CommandWord::Wnd)
        return openSettingsWindow();
    if (command == protocol::CommandWord::Quit)
        return quit();
    addClient(client);
    switch (command) {
    case protocol::CommandWord::Shutdown:
        removeClient(client);
        break;
    default: {
        const std::int64_t now = nowMs();
        carryOut(m_light.onWord(client, command, now), now);
        break;
    }
    }
}

// Posts what the rule said at `now`, and looks again when the signal that
// shows ends: from the same `now`, so that its timer never fires early.
void Qt_wnd::carryOut(const LightRule::Post &post, std::int64_t now)
{
    switch (post.kind) {
    case LightRule::Post::Nothing:
        break;
    case LightRule::Post::State:
        showState(post.state);
        break;
    case LightRule::Post::Shutdown:
        applyShutdown();
        break;
    }
    const std::optional<std::int64_t> wakeAt = m_ending ? std::nullopt : m_light.wakeAt();
    if (!wakeAt)
        m_signalTimer.stop();
    else
        m_signalTimer.start(int(*wakeAt <= now ? 0 : std::min<std::int64_t>(*wakeAt - now, kMaxSignalSeconds * 1000)));
}

void Qt_wnd::showState(LightState state)
{
    switch (state) {
    case LightState::Silent:
        applyProfile(SilentProfile);
        break;
    case LightState::Offline:
        applyProfile(OfflineProfile);
        break;
    case LightState::Away:
        applyProfile(AwayProfile);
        break;
    case LightState::MicMuted:
        applyProfile(MicMutedProfile);
        break;
    case LightState::SoundMuted:
        applyProfile(SoundMutedProfile);
        break;
    case LightState::OthersSpeaking:
        // Without the option others change nothing: the user is silent.
        applyProfile(m_light.options().others ? OthersProfile : SilentProfile);
        break;
    case LightState::Speaking:
        applyProfile(SpeakingProfile);
        break;
    case LightState::Joined:
        applyProfile(JoinedProfile);
        break;
    case LightState::Whispered:
        applyProfile(WhisperedProfile);
        break;
    case LightState::Message:
        applyProfile(MessageProfile);
        break;
    case LightState::Poked:
        applyProfile(PokedProfile);
        break;
    case LightState::SpeakingMuted:
        applyCommand(protocol::muteSignal());
        break;
    }
}

void Qt_wnd::addClient(qint64 client)
{
    if (m_light.clients().contains(client))
        return;
    m_light.addClient(client);
    emit clientsChanged();
    if (client == remote_apps::Client::kClientId || client == kTrayClientId) {
        updateIdleTimer();
        return;  // no process to watch: it ends with its socket, or the toggle
    }
    if (QObject *watch = platform::watchProcess(client, [this, client] {
            // Its last words still count; then it has gone as if it had said
            // Shutdown, so a crashed client's light ends as any other.
            m_channel->readPending();
            if (!m_light.clients().contains(client))
                return;
            qDebug() << "Client" << client << "ended without shutdown";
            removeClient(client);
        }))
        m_clientWatches.insert(client, watch);
    updateIdleTimer();
}

void Qt_wnd::removeClient(qint64 client)
{
    if (!m_light.clients().contains(client))
        return;
    const std::int64_t now = nowMs();
    carryOut(m_light.removeClient(client, now), now);
    if (QObject *watch = m_clientWatches.take(client))
        watch->deleteLater();  // may be the caller
    emit clientsChanged();
    updateIdleTimer();
    if (m_light.clients().empty())
        QTimer::singleShot(0, this, &Qt_wnd::endIfNoClients);  // after the words already here
}

void Qt_wnd::onConnectionClosed(qint64 client)
{
    // A client whose process cannot be watched ends with its last connection.
    if (!m_clientWatches.contains(client) && m_channel->connectionsOf(client) == 0)
        removeClient(client);
}

void Qt_wnd::endIfNoClients()
{
    if (m_ending || !m_light.clients().empty() || !m_channel)
        return;
    m_channel->readPending();  // a word from a new client keeps us
    if (!m_light.clients().empty())
        return;
    if (m_standalone) {
        // Lives on for the next client.
        qDebug() << "No client left: shutdown profile";
        applyShutdown();
        return;
    }
    endAllSessions();
}

void Qt_wnd::endAllSessions()
{
    if (m_ending)
        return;
    if (m_channel && m_channel->isServing()) {
        qDebug() << "----->SHUTDOWN<-----";
        applyShutdown();
    }
    m_light.clear();
    for (QObject *watch : qAsConst(m_clientWatches))
        watch->deleteLater();
    m_clientWatches.clear();
    stopServing();
    close();
}

void Qt_wnd::quit()
{
    qDebug() << "Asked to quit";
    endAllSessions();
    if (m_configWnd)
        m_configWnd->close();
    emit quitRequested();
}

// Off: the tray's toggle becomes a client of its own, so that it lasts
// while TeamSpeak comes and goes. On: that client goes, and the light shows
// the others' state, or the shutdown profile once none is left.
void Qt_wnd::setTrayLightsOff(bool off)
{
    if (off == trayLightsOff() || m_ending)
        return;
    if (!off)
        return removeClient(kTrayClientId);
    addClient(kTrayClientId);
    const std::int64_t now = nowMs();
    carryOut(m_light.onWord(kTrayClientId, protocol::CommandWord::LightsOff, now), now);
    emit clientsChanged();
}

void Qt_wnd::dismissSignals()
{
    if (m_light.clients().empty())
        return;  // nothing shows but the shutdown profile
    const std::int64_t now = nowMs();
    carryOut(m_light.onWord(kTrayClientId, protocol::CommandWord::Dismiss, now), now);
}

int Qt_wnd::processClients() const
{
    const ClientStates &clients = m_light.clients();
    return clients.count() - clients.contains(remote_apps::Client::kClientId) - clients.contains(kTrayClientId);
}

// Stops listening at once, even while a settings window keeps the program,
// so that a new client's helper can take the name over.
void Qt_wnd::stopServing()
{
    m_ending = true;
    m_idleTimer.stop();
    m_signalTimer.stop();
    if (m_remoteApps)
        m_remoteApps->stop();
    if (m_channel)
        m_channel->close();
    // The light is the next helper's now: a device service that comes back
    // is not shown ours again.
    m_output.forgetLastCommand();
}

void Qt_wnd::updateIdleTimer()
{
    const bool idle =
        !m_ending && !m_standalone && m_light.clients().empty() && (!m_channel || m_channel->connectionCount() == 0);
    if (!idle)
        m_idleTimer.stop();
    else if (!m_idleTimer.isActive())
        m_idleTimer.start();
}

void Qt_wnd::openSettingsWindow()
{
    if (m_configWnd)
        return;  // one at a time; the open one stays where the user put it
    qDebug() << "Opening the settings window";
    m_configWnd = new ConfigWnd(&m_output);
    connect(m_configWnd, SIGNAL(destroyed()), this, SLOT(onConfigDestroyed()));
    connect(m_configWnd, SIGNAL(destroyed()), this, SLOT(onSetDefault()));
    connect(m_configWnd, SIGNAL(settingsChanged()), this, SLOT(loadConfig()));
    m_configWnd->show();
    platform::placeTopMost(m_configWnd, kSettingsWindowX, kSettingsWindowY);
}

void Qt_wnd::applyProfile(int number)
{
    applyCommand(profile(number).command());
}

void Qt_wnd::applyCommand(const protocol::LightCommand &command)
{
    // Only the helper that serves the clients shows their state: a waiting
    // or ending one keeps off the light.
    if (!m_channel || !m_channel->isServing())
        return;
    if (!m_output.show(command))
        qDebug() << "Failed to set vossik colors";
}

// Where the shutdown profile shows for the clients, the output may give the
// devices back to their owner's lighting instead.
void Qt_wnd::applyShutdown()
{
    if (!m_channel || !m_channel->isServing())
        return;
    if (!m_output.showShutdown(profile(ShutdownProfile).command()))
        qDebug() << "Failed to set vossik colors";
}

void Qt_wnd::onConfigDestroyed()
{
    qDebug() << "Qt_wnd::onConfigDestroyed";
    m_configWnd = nullptr;
}

// After a reload or a closed settings window: the profile of the true
// state, over whatever a preview left; the shutdown profile while the
// lights are off. Once the last client has gone that is the shutdown
// profile too, unless another helper shows its own by now.
void Qt_wnd::onSetDefault()
{
    if (m_channel && m_channel->isServing()) {
        const std::int64_t now = nowMs();
        carryOut(m_light.showAgain(now), now);
    } else if (m_ending && m_channel && m_channel->nameIsFree()) {
        if (!m_output.showShutdown(profile(ShutdownProfile).command()))
            qDebug() << "Failed to set vossik colors";
    }
}
