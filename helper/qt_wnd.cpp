#include "qt_wnd.h"

#include "command_channel.h"
#include "command_server_name.h"
#include "command_words.h"
#include "config_wnd.h"
#include "light_output.h"
#include "settings_file.h"
#include "window_owner_watch.h"
#include "window_placement.h"

#include <QDebug>
#include <QSettings>

namespace {

constexpr int kStartDelayMs = 200;
constexpr int kSettingsWindowX = 100;
constexpr int kSettingsWindowY = 150;

}  // namespace

Qt_wnd::Qt_wnd(LightOutput &output, QWidget *parent, int idleLimitMs) : QWidget(parent), m_output(output)
{
    setupUi(this);
    m_idleTimer.setSingleShot(true);
    m_idleTimer.setInterval(idleLimitMs);
    connect(&m_idleTimer, &QTimer::timeout, this, [this] {
        // Quietly: whatever the light shows is another helper's or nobody's.
        qDebug() << "No client for" << m_idleTimer.interval() / 1000 << "s - ending";
        stopServing();
        close();
    });
    m_idleTimer.start();
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
    for (int fact = 0; fact < kFactCount; ++fact) {
        const QString key = QStringLiteral("stateEnabled_%1").arg(SoundMutedProfile + fact);
        m_stateEnabled[fact] = storedInteger(settings, key).value == 1;
    }
    settings.endGroup();
}

void Qt_wnd::vossikRdy()
{
    m_channel = new CommandChannel(
        QString::fromStdString(platform::commandServerName()),
        [this](qint64 client, protocol::CommandWord command) { dispatch(client, command); }, this);
    connect(m_channel, &CommandChannel::connectionClosed, this, &Qt_wnd::onConnectionClosed);
    connect(m_channel, &CommandChannel::connectionsChanged, this, &Qt_wnd::updateIdleTimer);
    // Read once serving: they may have changed while another helper served.
    connect(m_channel, &CommandChannel::serving, this, &Qt_wnd::readSettings);
    m_channel->open();
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
    using protocol::CommandWord;
    addClient(client);
    switch (command) {
    case CommandWord::Start:
        setVoiceState(client, VoiceState::Speaking);
        break;
    case CommandWord::Stop:
        setVoiceState(client, VoiceState::Silent);
        break;
    case CommandWord::Mute:
        setVoiceState(client, VoiceState::SpeakingMuted);
        break;
    case CommandWord::StartOther:  // also where the user stops while others talk
        setVoiceState(client, VoiceState::OthersSpeaking);
        break;
    case CommandWord::Shutdown:
        removeClient(client);
        break;
    case CommandWord::Wnd:
        openSettingsWindow();
        break;
    case CommandWord::MicMuted:
    case CommandWord::MicUnmuted:
        setFact(client, Fact::MicMuted, command == CommandWord::MicMuted);
        break;
    case CommandWord::SoundMuted:
    case CommandWord::SoundUnmuted:
        setFact(client, Fact::SoundMuted, command == CommandWord::SoundMuted);
        break;
    case CommandWord::Away:
    case CommandWord::Back:
        setFact(client, Fact::Away, command == CommandWord::Away);
        break;
    case CommandWord::Offline:
    case CommandWord::Online:
        setFact(client, Fact::Offline, command == CommandWord::Offline);
        break;
    case CommandWord::LightsOff:
    case CommandWord::LightsOn:
        setLightsOff(client, command == CommandWord::LightsOff);
        break;
    }
}

void Qt_wnd::setVoiceState(qint64 client, VoiceState state)
{
    m_clients.set(client, state);
    showVoiceState(client);
}

// A fact whose state is off is only kept: it posts nothing, so with every
// new state off the device sees the talk words' commands alone.
void Qt_wnd::setFact(qint64 client, Fact fact, bool holds)
{
    m_clients.setFact(client, fact, holds);
    if (m_stateEnabled[int(fact)])
        showVoiceState(client);
}

ShowOptions Qt_wnd::showOptions() const
{
    return {otherTalkingBool == 1, m_stateEnabled};
}

// Posts when what the clients add up to changes, and when the sender's own
// state is what shows (as with one client, where every word posts). While
// the lights are off it only follows.
void Qt_wnd::showVoiceState(std::optional<qint64> sender)
{
    const ShowOptions options = showOptions();
    const LightState shown = m_clients.shown(options);
    if (m_shown == shown && !(sender && m_clients.shownOf(*sender, options) == shown))
        return;
    m_shown = shown;
    if (m_clients.lightsOff())
        return;
    switch (shown) {
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
        applyProfile(options.others ? OthersProfile : SilentProfile);
        break;
    case LightState::Speaking:
        applyProfile(SpeakingProfile);
        break;
    case LightState::SpeakingMuted:
        applyCommand(protocol::muteSignal());
        break;
    }
}

// A press changes only its client's toggle. The light is off while any
// client has it off: the shutdown profile once as it goes off, the current
// state at once as the last "off" is turned on.
void Qt_wnd::setLightsOff(qint64 client, bool off)
{
    const bool wasOff = m_clients.lightsOff();
    m_clients.setLightsOff(client, off);
    if (m_clients.lightsOff() == wasOff)
        return;
    if (off) {
        applyShutdown();
    } else {
        m_shown.reset();
        showVoiceState(std::nullopt);
    }
}

void Qt_wnd::addClient(qint64 client)
{
    if (m_clients.contains(client))
        return;
    m_clients.add(client);
    if (QObject *watch = platform::watchProcess(client, [this, client] {
            // Its last words still count; then it has gone as if it had said
            // Shutdown, so a crashed client's light ends as any other.
            m_channel->readPending();
            if (!m_clients.contains(client))
                return;
            qDebug() << "Client" << client << "ended without shutdown";
            removeClient(client);
        }))
        m_clientWatches.insert(client, watch);
    updateIdleTimer();
}

void Qt_wnd::removeClient(qint64 client)
{
    if (!m_clients.contains(client))
        return;
    const bool wasOff = m_clients.lightsOff();
    m_clients.remove(client);
    if (QObject *watch = m_clientWatches.take(client))
        watch->deleteLater();  // may be the caller
    updateIdleTimer();
    if (m_clients.empty()) {
        QTimer::singleShot(0, this, &Qt_wnd::endIfNoClients);  // after the words already here
        return;
    }
    if (wasOff)
        m_shown.reset();  // shows at once if its toggle was the last "off"
    showVoiceState(std::nullopt);
}

void Qt_wnd::onConnectionClosed(qint64 client)
{
    // A client whose process cannot be watched ends with its last connection.
    if (!m_clientWatches.contains(client) && m_channel->connectionsOf(client) == 0)
        removeClient(client);
}

void Qt_wnd::endIfNoClients()
{
    if (m_ending || !m_clients.empty() || !m_channel)
        return;
    m_channel->readPending();  // a word from a new client keeps us
    if (!m_clients.empty())
        return;
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
    m_clients.clear();
    for (QObject *watch : qAsConst(m_clientWatches))
        watch->deleteLater();
    m_clientWatches.clear();
    stopServing();
    close();
}

// Stops listening at once, even while a settings window keeps the program,
// so that a new client's helper can take the name over.
void Qt_wnd::stopServing()
{
    m_ending = true;
    m_idleTimer.stop();
    if (m_channel)
        m_channel->close();
    // The light is the next helper's now: a device service that comes back
    // is not shown ours again.
    m_output.forgetLastCommand();
}

void Qt_wnd::updateIdleTimer()
{
    const bool idle = !m_ending && m_clients.empty() && (!m_channel || m_channel->connectionCount() == 0);
    if (!idle)
        m_idleTimer.stop();
    else if (!m_idleTimer.isActive())
        m_idleTimer.start();
}

void Qt_wnd::openSettingsWindow()
{
    if (m_configWnd)
        return;  // one at a time; the open one stays where the user put it
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
        m_shown.reset();
        if (m_clients.lightsOff())
            applyShutdown();
        else
            showVoiceState(std::nullopt);
    } else if (m_ending && m_channel && m_channel->nameIsFree()) {
        if (!m_output.showShutdown(profile(ShutdownProfile).command()))
            qDebug() << "Failed to set vossik colors";
    }
}
