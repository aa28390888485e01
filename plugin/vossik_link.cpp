#include "vossik_link.h"

#include "command_client.h"
#include "command_server_name.h"

#include <QDataStream>
#include <QDebug>

Vossik *g_link = nullptr;

namespace {

constexpr int kFirstConnectTimeoutMs = 1000;
// A helper that was not there, or went away, is looked for again on a later
// word: at most once a second, and never holding the host for long.
constexpr qint64 kReconnectIntervalMs = 1000;
constexpr int kReconnectTimeoutMs = 100;
// How long a word may wait for a helper that does not read; then the
// connection is given up rather than the host held.
constexpr int kWriteTimeoutMs = 20;

std::string serverName()
{
    return platform::commandServerName().toStdString();
}

}  // namespace

void ensureLink()
{
    if (!g_link)
        g_link = new Vossik(nullptr);
}

Vossik::Vossik(QObject *parent) : QObject(parent)
{
    qDebug() << "Vossik::Vossik";
    m_socket = new platform::CommandClient;
    m_sinceLastAttempt.start();
    if (!m_socket->connectTo(serverName(), kFirstConnectTimeoutMs))
        qDebug() << "client connection failed";
}

Vossik::~Vossik()
{
    qDebug() << "Vossik::~Vossik";
    delete m_socket;  // closing a local socket does not wait
}

bool Vossik::isConnected()
{
    return m_socket->isConnected();
}

bool Vossik::reconnectIfDue()
{
    if (m_sinceLastAttempt.elapsed() < kReconnectIntervalMs)
        return false;
    m_sinceLastAttempt.restart();
    return m_socket->connectTo(serverName(), kReconnectTimeoutMs);
}

void Vossik::talkStatusChange(const QString &word)
{
    qDebug() << "Vossik::talkStatusChange" << word;
    if (!m_socket->isOpen() && !reconnectIfDue())
        return;
    QByteArray block;
    QDataStream out(&block, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_4_0);
    out << word;
    out.device()->seek(0);
    // No check before writing: it would cost the host's thread a system call
    // per word. A helper that has gone fails the write at once, and then a
    // new one may already listen.
    const auto size = static_cast<std::size_t>(block.size());
    if (!m_socket->write(block.constData(), size, kWriteTimeoutMs) && reconnectIfDue())
        m_socket->write(block.constData(), size, kWriteTimeoutMs);
}
