#include "command_channel.h"

#include "command_framing.h"
#include "command_server_name.h"
#include "peer_process.h"
#include "termination_request.h"

#include <QDebug>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>

#include <algorithm>

namespace {

// Enough for any burst of real commands; bounds what one client can make us
// hold, since complete frames are taken out as soon as they arrive.
constexpr qint64 kSocketReadBufferBytes = 64 * 1024;
// How soon a server that could not be opened again is tried once more.
constexpr qint64 kListenRetryMs = 1000;

}  // namespace

CommandChannel::CommandChannel(const QString &name, WordHandler handler, QObject *parent)
    : QObject(parent), m_name(name), m_handler(std::move(handler)), m_claim(name.toStdString())
{
    m_clock.start();
    m_takeOverTimer.setInterval(kTakeOverPollMs);
    connect(&m_takeOverTimer, &QTimer::timeout, this, &CommandChannel::tryToServe);
    // Precise: a coarse timer may fire a little early, and then again.
    m_checkTimer.setSingleShot(true);
    m_checkTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_checkTimer, &QTimer::timeout, this, &CommandChannel::onCheckTimer);
}

CommandChannel::~CommandChannel()
{
    close();
}

void CommandChannel::open()
{
    if (m_name.isEmpty()) {
        qDebug().noquote() << "Command server not listening:"
                           << QString::fromStdString(platform::commandServerProblem());
        return;
    }
    tryToServe();
}

void CommandChannel::tryToServe()
{
    if (m_claim.held())
        return;
    // Asked to end while waiting: the request may still sit in the event
    // loop behind this tick, and a helper on its way out must not serve.
    if (platform::terminationRequested()) {
        m_takeOverTimer.stop();
        return;
    }
    if (!m_claim.tryClaim()) {
        if (!m_waitLogged)
            qDebug() << "Another helper serves" << m_name << "- waiting for it to end";
        m_waitLogged = true;
        m_takeOverTimer.start();
        return;
    }
    m_takeOverTimer.stop();
    listen();
    emit serving();
}

void CommandChannel::listen()
{
    delete m_server;
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &CommandChannel::acceptPending);
    // Whatever still lies under the name was left by a helper that died: the
    // claim says no other one serves it.
    QLocalServer::removeServer(m_name);
    if (m_server->listen(m_name)) {
        m_claim.serverListening();
        m_listenFailureLogged = false;
        m_listenRetryAt = -1;
        qDebug() << "Command server listening on" << m_name;
    } else {
        if (!m_listenFailureLogged)
            qDebug() << "Command server not listening on" << m_name << m_server->errorString() << "- trying again";
        m_listenFailureLogged = true;
        m_listenRetryAt = m_clock.elapsed() + kListenRetryMs;
    }
    armCheckTimer();
}

void CommandChannel::close()
{
    m_takeOverTimer.stop();
    m_checkTimer.stop();
    m_listenRetryAt = -1;
    delete m_server;
    m_server = nullptr;
    const std::vector<Connection> connections = std::move(m_connections);
    m_connections.clear();
    for (const Connection &connection : connections) {
        connection.socket->disconnect(this);
        connection.socket->abort();
        connection.socket->deleteLater();
    }
    // Last: with the server and its connections gone the name is free.
    m_claim.release();
    if (!connections.empty())
        emit connectionsChanged();
}

bool CommandChannel::nameIsFree() const
{
    if (m_claim.held())
        return false;
    platform::ServerNameClaim probe(m_name.toStdString());
    return probe.tryClaim();  // and gone again with the probe
}

int CommandChannel::connectionsOf(qint64 client) const
{
    return int(std::count_if(m_connections.begin(), m_connections.end(),
                             [client](const Connection &c) { return c.client == client; }));
}

void CommandChannel::acceptPending()
{
    while (QLocalSocket *socket = m_server ? m_server->nextPendingConnection() : nullptr)
        adopt(socket);
    queueServerCheck();
}

void CommandChannel::adopt(QLocalSocket *socket)
{
    // Ours, not the server's: a server opened again keeps them.
    socket->setParent(this);
    qint64 client = platform::peerProcessId(socket->socketDescriptor());
    if (client <= 0)
        client = --m_lastStandIn;
    if (connectionsOf(client) >= kMaxConnectionsPerClient) {
        // Its own oldest makes way, so its places never grow at the others' cost.
        const auto oldest = std::find_if(m_connections.begin(), m_connections.end(),
                                         [client](const Connection &c) { return c.client == client; });
        if (m_crowdingLogged != client)
            qDebug() << "Process" << client << "holds" << kMaxConnectionsPerClient
                     << "command connections - closing its oldest";
        m_crowdingLogged = client;
        drop(oldest->socket);
    }
    if (m_connections.size() >= std::size_t(kMaxConnections)) {
        // Room for a client that speaks beats room for one that never has.
        const auto silent =
            std::find_if(m_connections.begin(), m_connections.end(), [](const Connection &c) { return !c.spoke; });
        if (!m_fullLogged)
            qDebug() << "Command connections full:" << kMaxConnections
                     << (silent != m_connections.end() ? "- closing the oldest that never sent a word"
                                                       : "- refusing new ones");
        m_fullLogged = true;
        if (silent == m_connections.end()) {
            socket->disconnect(this);
            socket->abort();
            socket->deleteLater();
            return;
        }
        drop(silent->socket);
    }
    socket->setReadBufferSize(kSocketReadBufferBytes);
    Connection connection;
    connection.socket = socket;
    connection.client = client;
    connection.openedAt = m_clock.elapsed();
    m_connections.push_back(connection);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readFrom(socket); });
    connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
        forget(socket);
        socket->deleteLater();
    });
    emit connectionsChanged();
}

CommandChannel::Connection *CommandChannel::find(QLocalSocket *socket)
{
    const auto it = std::find_if(m_connections.begin(), m_connections.end(),
                                 [socket](const Connection &c) { return c.socket == socket; });
    return it == m_connections.end() ? nullptr : &*it;
}

void CommandChannel::forget(QLocalSocket *socket)
{
    const Connection *connection = find(socket);
    if (!connection)
        return;
    const qint64 client = connection->client;
    m_connections.erase(m_connections.begin() + (connection - m_connections.data()));
    // A storm is logged once, not once for every connection it brings.
    if (m_connections.size() <= std::size_t(kMaxConnections / 2))
        m_fullLogged = false;
    // A connection that ends may have freed what the server lacked to accept.
    queueServerCheck();
    armCheckTimer();
    emit connectionClosed(client);
    emit connectionsChanged();
}

// Closed by us: its end is not reported back through its own signals.
void CommandChannel::drop(QLocalSocket *socket)
{
    socket->disconnect(this);
    forget(socket);
    socket->abort();
    socket->deleteLater();
}

void CommandChannel::readFrom(QLocalSocket *socket)
{
    // Carry out every whole word that has arrived, in order; a word still in
    // transit stays in the socket until the rest of it comes.
    const QPointer<QLocalSocket> guard(socket);
    const Connection *at = find(socket);
    const qint64 incompleteBefore = at ? at->incompleteSince : -1;
    // A client that writes tells us as well whether the server still accepts.
    queueServerCheck();
    for (;;) {
        Connection *connection = find(socket);
        if (!guard || !connection)
            return;
        const QByteArray head = socket->peek(framing::kMaxFrameBytes);
        const framing::Frame frame = framing::parseFrame(head.constData(), head.size());
        if (frame.status == framing::FrameStatus::NeedMore) {
            if (head.isEmpty())
                connection->incompleteSince = -1;
            else if (connection->incompleteSince < 0)
                connection->incompleteSince = m_clock.elapsed();
            if (connection->incompleteSince != incompleteBefore)
                armCheckTimer();
            return;
        }
        if (frame.status != framing::FrameStatus::Complete) {
            qDebug() << "Bad command frame:" << framing::describe(frame.status) << "- closing the connection";
            socket->abort();
            return;
        }
        socket->skip(frame.consumed);
        connection->incompleteSince = -1;
        // Only a command word makes its sender a client: garbage keeps nobody.
        if (!frame.word) {
            qDebug() << "param not equal" << frame.unknown;
            continue;
        }
        m_handler(connection->client, *frame.word);
        if (Connection *still = find(socket))
            still->spoke = true;
    }
}

void CommandChannel::readPending()
{
    std::vector<QPointer<QLocalSocket>> sockets;
    for (const Connection &connection : m_connections)
        sockets.emplace_back(connection.socket);
    // What the system holds for us, without waiting, a read buffer at a
    // time; bounded, so a client that never stops writing cannot keep us.
    constexpr int kMaxBuffers = 64;
    for (const QPointer<QLocalSocket> &socket : sockets) {
        for (int round = 0; socket && round < kMaxBuffers; ++round) {
            const bool more = socket->waitForReadyRead(0);
            if (socket)
                readFrom(socket);
            if (!more)
                break;
        }
    }
}

// A server that failed to accept (out of descriptors, say) closes itself,
// yet still calls itself listening; only its error tells.
bool CommandChannel::serverFailed() const
{
    return m_claim.held() && (!m_server || !m_server->isListening() || !m_server->errorString().isEmpty());
}

// Later, from the event loop: the server or a socket whose signal brought
// us here must not be deleted under it.
void CommandChannel::queueServerCheck()
{
    if (m_serverCheckQueued || !serverFailed())
        return;
    m_serverCheckQueued = true;
    QMetaObject::invokeMethod(
        this, [this] { checkServer(); }, Qt::QueuedConnection);
}

void CommandChannel::checkServer()
{
    m_serverCheckQueued = false;
    if (!serverFailed())
        return;
    if (!m_stopLogged && !m_listenFailureLogged && m_server)
        qDebug() << "Command server stopped listening:" << m_server->errorString() << "- listening again";
    m_stopLogged = true;
    m_listenFailureLogged = true;
    listen();
}

// Armed for the earliest moment something is due, and stopped when nothing
// is: an idle channel never wakes.
void CommandChannel::armCheckTimer()
{
    qint64 due = m_listenRetryAt;
    for (const Connection &connection : m_connections) {
        if (connection.incompleteSince < 0)
            continue;
        const qint64 limit = connection.incompleteSince + kIncompleteWordLimitMs + 1;
        due = due < 0 ? limit : std::min(due, limit);
    }
    if (due < 0)
        m_checkTimer.stop();
    else
        m_checkTimer.start(int(std::max<qint64>(0, due - m_clock.elapsed())));
}

void CommandChannel::onCheckTimer()
{
    const qint64 now = m_clock.elapsed();
    std::vector<QLocalSocket *> stuck;
    for (const Connection &connection : m_connections) {
        if (connection.incompleteSince >= 0 && now - connection.incompleteSince > kIncompleteWordLimitMs)
            stuck.push_back(connection.socket);
    }
    for (QLocalSocket *socket : stuck) {
        qDebug() << "Closing a command connection that held an incomplete word for" << kIncompleteWordLimitMs / 1000
                 << "s";
        drop(socket);
    }
    if (m_listenRetryAt >= 0 && now >= m_listenRetryAt)
        checkServer();
    armCheckTimer();
}
