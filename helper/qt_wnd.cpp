#include "qt_wnd.h"

#include "command_framing.h"
#include "command_server.h"
#include "command_server_name.h"
#include "config_wnd.h"
#include "settings_file.h"
#include "window_placement.h"

#include <QDebug>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSettings>
#include <QTimer>

namespace {

constexpr int kStartDelayMs = 200;
constexpr int kSettingsWindowX = 100;
constexpr int kSettingsWindowY = 150;
// Enough for any burst of real commands; bounds what one client can make us
// hold, since complete frames are taken out as soon as they arrive.
constexpr qint64 kSocketReadBufferBytes = 64 * 1024;

}  // namespace

Qt_wnd::Qt_wnd(QWidget *parent) : QWidget(parent)
{
    setupUi(this);
    QTimer::singleShot(kStartDelayMs, this, SLOT(vossikRdy()));
}

Qt_wnd::~Qt_wnd()
{
    freeLightControlApi(g_lightApi);
    delete m_socket;
    // Now, not with the other children: its connections report their end
    // to this window, which must still be whole then.
    delete m_server;
    m_server = nullptr;
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
    QSettings settings(settingsFilePath(), QSettings::IniFormat);
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
        setOptSpeed(read("radioSpeed"), n);
    }
    otherTalkingBool = settings.value(QStringLiteral("otherTalkingBool"), QString()).toInt();
    settings.endGroup();
    onSetDefault();
}

void Qt_wnd::vossikRdy()
{
    if (!g_lightApi) {
        QTimer::singleShot(kStartDelayMs, this, SLOT(vossikRdy()));
        return;
    }
    loadConfig();
    m_server = new QLocalServer(this);
    connect(m_server, SIGNAL(newConnection()), this, SLOT(onIncomingConnection()));
    listenForCommands(m_server, QString::fromStdString(platform::commandServerName()));
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
    else if (zone == LightZoneEvent || zone == LightZoneAmbient)
        *field = zone;
    else
        qDebug() << "setOptZone ERROR!";
}

void Qt_wnd::setOptEffect(int effect, int tab)
{
    int *field = profileField(&radioEffect, &radioEffect_2, &radioEffect_3, &radioEffect_4, tab);
    if (!field)
        qDebug() << "OPTEFFECT TAB ERROR";
    else if (effect >= LightEffectOff && effect <= LightEffectHeartbeat)
        *field = effect;
    else
        qDebug() << "setOptEffect ERROR!";
}

void Qt_wnd::setOptSpeed(int speed, int tab)
{
    int *field = profileField(&radioSpeed, &radioSpeed_2, &radioSpeed_3, &radioSpeed_4, tab);
    if (!field)
        qDebug() << "OPTSPEED TAB ERROR";
    else if (speed >= 0 && speed <= LightSpeedFast)  // 0 is what a missing key reads as
        *field = speed;
    else
        qDebug() << "setOptSpeed ERROR!";
}

void Qt_wnd::onIncomingConnection()
{
    QLocalSocket *socket = m_server->nextPendingConnection();
    if (!socket)
        return;
    socket->setReadBufferSize(kSocketReadBufferBytes);
    m_socket = socket;
    connect(socket, SIGNAL(readyRead()), this, SLOT(onReadyRead()));
    // A client that goes away takes its connection with it.
    connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
        if (m_socket == socket)
            m_socket = nullptr;
        socket->deleteLater();
    });
}

void Qt_wnd::onReadyRead()
{
    if (!g_lightApi)
        return;
    // Read the connection that has data, not merely the newest one.
    auto *socket = qobject_cast<QLocalSocket *>(sender());
    if (!socket)
        return;
    // Carry out every whole word that has arrived, in order; a word still in
    // transit stays in the socket until the rest of it comes.
    for (;;) {
        const QByteArray head = socket->peek(framing::kMaxFrameBytes);
        const framing::Frame frame = framing::parseFrame(head.constData(), head.size());
        if (frame.status == framing::FrameStatus::NeedMore)
            return;
        if (frame.status != framing::FrameStatus::Complete) {
            qDebug() << "Bad command frame:" << framing::describe(frame.status) << "- closing the connection";
            socket->abort();
            return;
        }
        socket->skip(frame.consumed);
        dispatch(frame.word);
    }
}

void Qt_wnd::dispatch(const QString &word)
{
    if (word == QLatin1String("start")) {
        applyProfile(SpeakingProfile);
    } else if (word == QLatin1String("stop")) {
        applyProfile(SilentProfile);
    } else if (word == QLatin1String("mute")) {
        applyCommand(muteSignal());
    } else if (word == QLatin1String("startother") && otherTalkingBool == 1) {
        applyProfile(OthersProfile);
    } else if (word == QLatin1String("shutdown")) {
        qDebug() << "----->SHUTDOWN<-----";
        applyProfile(ShutdownProfile);
        close();
    } else if (word == QLatin1String("wnd")) {
        openSettingsWindow();
    } else {
        qDebug() << "param not equal" << word;
    }
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

void Qt_wnd::applyCommand(const LightCommand &command)
{
    if (!g_lightApi || !postLightCommand(g_lightApi, command))
        qDebug() << "Failed to set vossik colors";
}

void Qt_wnd::onConfigDestroyed()
{
    qDebug() << "Qt_wnd::onConfigDestroyed";
    m_configWnd = nullptr;
}

void Qt_wnd::onSetDefault()
{
    applyProfile(SilentProfile);
}
