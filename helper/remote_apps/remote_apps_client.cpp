#include "remote_apps_client.h"

#include <QDebug>
#include <QTcpSocket>

namespace remote_apps {

Client::Client(SettingsSource readSettings, KeyStore storeKey, std::int64_t firstIntervalMs, QObject *parent)
    : QObject(parent),
      m_readSettings(std::move(readSettings)),
      m_storeKey(std::move(storeKey)),
      m_firstIntervalMs(firstIntervalMs)
{
    m_connectTimer.setSingleShot(true);
    m_probeTimer.setSingleShot(true);
    connect(&m_connectTimer, &QTimer::timeout, this, &Client::connectNow);
    connect(&m_probeTimer, &QTimer::timeout, this, &Client::probe);
    connect(&m_socket, &websocket::Connection::connected, this, [this] { carryOut(m_pairing.onOpened()); });
    connect(&m_socket, &websocket::Connection::textMessageReceived, this, &Client::onText);
    connect(&m_socket, &websocket::Connection::disconnected, this, &Client::onGone);
}

Client::~Client()
{
    stop();
}

void Client::start()
{
    const Settings settings = m_readSettings();
    if (!settings.enabled)
        return;
    m_port = settings.port;
    m_pairing = Pairing(settings.key, m_firstIntervalMs);
    m_stopped = false;
    carryOut(m_pairing.start());
}

void Client::tellStatus()
{
    const std::pair<Status, int> now{status(), servers()};
    if (now == m_toldStatus)
        return;
    m_toldStatus = now;
    emit statusChanged();
}

void Client::stop()
{
    m_stopped = true;
    m_connectTimer.stop();
    m_probeTimer.stop();
    delete m_probe;
    m_probe = nullptr;
    m_attempt = false;
    m_socket.abort();
    tellStatus();
}

void Client::pairAgain()
{
    if (m_granted)
        return;
    stop();
    m_pairing = Pairing(QString());  // the stored key is read afresh
    start();
}

Client::Status Client::status() const
{
    if (m_stopped)
        return Status::Off;
    if (m_granted)
        return Status::Connected;
    if (m_pairing.refused())
        return Status::Refused;
    return m_pairing.askingUser() ? Status::AskingUser : Status::Looking;
}

void Client::connectNow()
{
    if (m_stopped)
        return;
    m_attempt = true;
    m_socket.open(m_port);
}

void Client::carryOut(const Pairing::Step &step)
{
    if (step.askUser)
        qDebug().noquote() << QStringLiteral("Remote Apps: allow \"%1\" in TeamSpeak (Settings → Extensions → Remote "
                                             "Apps) to light your device by TeamSpeak 5/6")
                                  .arg(QLatin1String(kName));
    if (step.storeKey)
        m_storeKey(*step.storeKey);  // never logged
    if (step.sendAuth)
        m_socket.sendTextMessage(authRequest(*step.sendAuth));
    if (step.started) {
        qDebug() << "Remote Apps: connected to TeamSpeak on port" << m_port;
        m_unreachableLogged = false;
    }
    if (step.ended) {
        m_granted = false;
        emit ended();
    }
    if (step.refused) {
        qDebug().noquote() << QStringLiteral("Remote Apps: TeamSpeak refused \"%1\"; it asks again when the helper "
                                             "starts next")
                                  .arg(QLatin1String(kName));
        m_attempt = false;
        m_socket.abort();
    }
    if (!m_stopped) {  // else ended with the client
        if (step.connectInMs)
            m_connectTimer.start(int(*step.connectInMs));
        if (step.probeInMs)
            m_probeTimer.start(int(*step.probeInMs));
    }
    tellStatus();
}

void Client::onText(const QByteArray &text)
{
    if (m_stopped)
        return;
    const std::optional<Event> event = parseFrame(text);
    if (!event)
        return;
    if (const auto *answer = std::get_if<AuthAnswer>(&*event)) {
        const Pairing::Step step = m_pairing.onAnswer(answer->statusCode, answer->apiKey);
        carryOut(step);
        if (step.started) {
            m_granted = true;
            tell(m_state.start(*answer));
            tellStatus();
            return;
        }
    }
    if (m_granted)
        tell(m_state.onEvent(*event));
    tellStatus();  // the servers connected
}

void Client::tell(const Words &words)
{
    for (const protocol::CommandWord w : words) {
        if (m_stopped || !m_granted)
            return;  // a word's handler may have ended the helper
        emit word(w);
    }
}

void Client::onGone()
{
    if (!m_attempt || m_stopped)
        return;
    m_attempt = false;
    const bool tooLarge = m_socket.closeCode() == websocket::CloseTooLarge;
    if (tooLarge && !m_tooLargeLogged) {
        qDebug() << "Remote Apps: TeamSpeak sent a message larger than" << kMaxMessageBytes
                 << "bytes - connection closed";
        m_tooLargeLogged = true;
    }
    const bool wasGranted = m_granted;
    const Pairing::Step step = m_pairing.onClosed(tooLarge);
    if (wasGranted)
        qDebug() << "Remote Apps: TeamSpeak closed the connection";
    else if (step.connectInMs && !step.probeInMs && !tooLarge && !m_unreachableLogged) {
        qDebug() << "Remote Apps: nothing listens on port" << m_port << "- looking again at growing intervals";
        m_unreachableLogged = true;
    }
    carryOut(step);
}

void Client::probe()
{
    delete m_probe;
    m_probe = new QTcpSocket(this);
    connect(m_probe, &QTcpSocket::connected, this, [this] { onProbed(true); });
    connect(m_probe, &QTcpSocket::errorOccurred, this, [this] { onProbed(false); });
    m_probe->connectToHost(QStringLiteral("127.0.0.1"), m_port);
}

void Client::onProbed(bool listening)
{
    if (!m_probe)
        return;
    m_probe->abort();
    m_probe->deleteLater();  // the caller
    m_probe = nullptr;
    carryOut(m_pairing.onProbe(listening));
}

}  // namespace remote_apps
