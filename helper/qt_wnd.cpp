#include "qt_wnd.h"

#include "command_channel.h"
#include "command_server_name.h"
#include "command_words.h"
#include "config_wnd.h"
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

Qt_wnd::Qt_wnd(QWidget *parent, int idleLimitMs) : QWidget(parent)
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
    switch (number) {
    case SpeakingProfile:
        return {radioZone, radioEffect, radioSpeed, m_redValue, m_greenValue, m_blueValue};
    case SilentProfile:
        return {radioZone_2, radioEffect_2, radioSpeed_2, m_redValue_2, m_greenValue_2, m_blueValue_2};
    case ShutdownProfile:
        return {radioZone_3, radioEffect_3, radioSpeed_3, m_redValue_3, m_greenValue_3, m_blueValue_3};
    case OthersProfile:
        return {radioZone_4, radioEffect_4, radioSpeed_4, m_redValue_4, m_greenValue_4, m_blueValue_4};
    }
    return {};
}

void Qt_wnd::loadConfig()
{
    readSettings();
    onSetDefault();
}

void Qt_wnd::readSettings()
{
    // Without a file name QSettings reads nothing: every key is missing.
    const bool readable = settingsFileReadable(QStringLiteral("every profile is off"));
    QSettings settings(readable ? settingsFilePath() : QString(), QSettings::IniFormat);
    settings.beginGroup(QLatin1String(kSettingsGroup));
    int *greens[] = {&m_greenValue, &m_greenValue_2, &m_greenValue_3, &m_greenValue_4};
    int *reds[] = {&m_redValue, &m_redValue_2, &m_redValue_3, &m_redValue_4};
    int *blues[] = {&m_blueValue, &m_blueValue_2, &m_blueValue_3, &m_blueValue_4};
    for (int n = SpeakingProfile; n <= OthersProfile; ++n) {
        const QString suffix = profileSuffix(n);
        const auto read = [&settings, &suffix](const char *key) {
            return settings.value(QLatin1String(key) + suffix, QString()).toInt();
        };
        *greens[n - 1] = clampStoredColour(QLatin1String("m_greenValue") + suffix, read("m_greenValue"));
        *reds[n - 1] = clampStoredColour(QLatin1String("m_redValue") + suffix, read("m_redValue"));
        *blues[n - 1] = clampStoredColour(QLatin1String("m_blueValue") + suffix, read("m_blueValue"));
        setOptZone(read("radioZone"), n);
        setOptEffect(read("radioEffect"), n);
        // 0 is no speed the device knows: a missing speed is Normal, as
        // the settings window shows it.
        const int speed = read("radioSpeed");
        setOptSpeed(speed == 0 ? int(protocol::LightSpeedNormal) : speed, n);
    }
    otherTalkingBool = settings.value(QStringLiteral("otherTalkingBool"), QString()).toInt();
    settings.endGroup();
}

void Qt_wnd::vossikRdy()
{
    if (!g_lightApi) {
        QTimer::singleShot(kStartDelayMs, this, SLOT(vossikRdy()));
        return;
    }
    m_channel = new CommandChannel(
        QString::fromStdString(platform::commandServerName()),
        [this](qint64 client, const QString &word) { return dispatch(client, word); }, this);
    connect(m_channel, &CommandChannel::connectionClosed, this, &Qt_wnd::onConnectionClosed);
    connect(m_channel, &CommandChannel::connectionsChanged, this, &Qt_wnd::updateIdleTimer);
    // Read once serving: they may have changed while another helper served.
    connect(m_channel, &CommandChannel::serving, this, &Qt_wnd::readSettings);
    m_channel->open();
}

int *Qt_wnd::profileField(int *speaking, int *silent, int *shutdown, int *others, int tab)
{
    switch (tab) {
    case SpeakingProfile:
        return speaking;
    case SilentProfile:
        return silent;
    case ShutdownProfile:
        return shutdown;
    case OthersProfile:
        return others;
    }
    return nullptr;
}

void Qt_wnd::setOptZone(int zone, int tab)
{
    int *field = profileField(&radioZone, &radioZone_2, &radioZone_3, &radioZone_4, tab);
    if (!field)
        qDebug() << "OPTZONE TAB ERROR";
    else if (zone == protocol::LightZoneEvent || zone == protocol::LightZoneAmbient)
        *field = zone;
    else
        qDebug() << "setOptZone ERROR!";
}

void Qt_wnd::setOptEffect(int effect, int tab)
{
    int *field = profileField(&radioEffect, &radioEffect_2, &radioEffect_3, &radioEffect_4, tab);
    if (!field)
        qDebug() << "OPTEFFECT TAB ERROR";
    else if (effect >= protocol::LightEffectOff && effect <= protocol::LightEffectHeartbeat)
        *field = effect;
    else
        qDebug() << "setOptEffect ERROR!";
}

void Qt_wnd::setOptSpeed(int speed, int tab)
{
    int *field = profileField(&radioSpeed, &radioSpeed_2, &radioSpeed_3, &radioSpeed_4, tab);
    if (!field)
        qDebug() << "OPTSPEED TAB ERROR";
    else if (speed >= 0 && speed <= protocol::LightSpeedFast)  // 0 is what a missing key reads as
        *field = speed;
    else
        qDebug() << "setOptSpeed ERROR!";
}

// Only a command word makes its sender a client: garbage keeps nobody.
bool Qt_wnd::dispatch(qint64 client, const QString &word)
{
    using protocol::CommandWord;
    const std::optional<CommandWord> command = protocol::commandWordFromText(
        std::u16string_view(reinterpret_cast<const char16_t *>(word.utf16()), std::size_t(word.size())));
    if (!command) {
        qDebug() << "param not equal" << word;
        return false;
    }
    addClient(client);
    switch (*command) {
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
    }
    return true;
}

void Qt_wnd::setVoiceState(qint64 client, VoiceState state)
{
    m_clients.set(client, state);
    showVoiceState(state);
}

// Posts when what the clients add up to changes, and when a client's word
// is what shows (as with one client, where every word posts).
void Qt_wnd::showVoiceState(std::optional<VoiceState> about)
{
    const VoiceState shown = m_clients.shown();
    if (m_shown == shown && about != shown)
        return;
    m_shown = shown;
    switch (shown) {
    case VoiceState::Silent:
        applyProfile(SilentProfile);
        break;
    case VoiceState::OthersSpeaking:
        // Without the option others change nothing: the user is silent.
        applyProfile(otherTalkingBool == 1 ? OthersProfile : SilentProfile);
        break;
    case VoiceState::Speaking:
        applyProfile(SpeakingProfile);
        break;
    case VoiceState::SpeakingMuted:
        applyCommand(protocol::muteSignal());
        break;
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
    m_clients.remove(client);
    if (QObject *watch = m_clientWatches.take(client))
        watch->deleteLater();  // may be the caller
    updateIdleTimer();
    if (m_clients.empty())
        QTimer::singleShot(0, this, &Qt_wnd::endIfNoClients);  // after the words already here
    else
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
        applyProfile(ShutdownProfile);
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
    if (g_lightApi)
        g_lightApi->hasLastCommand = false;
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
    m_configWnd = new ConfigWnd;
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
    if (!g_lightApi || !postLightCommand(g_lightApi, command))
        qDebug() << "Failed to set vossik colors";
}

void Qt_wnd::onConfigDestroyed()
{
    qDebug() << "Qt_wnd::onConfigDestroyed";
    m_configWnd = nullptr;
}

// After a reload or a closed settings window: the profile of the true
// state, over whatever a preview left. Once the last client has gone that
// is the shutdown profile, unless another helper shows its own by now.
void Qt_wnd::onSetDefault()
{
    if (m_channel && m_channel->isServing()) {
        m_shown.reset();
        showVoiceState(std::nullopt);
    } else if (m_ending && m_channel && m_channel->nameIsFree()) {
        if (!g_lightApi || !postLightCommand(g_lightApi, profile(ShutdownProfile).command()))
            qDebug() << "Failed to set vossik colors";
    }
}
