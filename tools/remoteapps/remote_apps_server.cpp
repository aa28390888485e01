#include "remote_apps_server.h"

#include <QUuid>
#include <QWebSocket>

namespace remoteapps {

RemoteAppsServer::RemoteAppsServer(const ServerOptions &options, const QList<Step> &script,
                                   std::function<void(const QByteArray &)> log, QObject *parent)
    : QObject(parent),
      m_options(options),
      m_script(script),
      m_log(std::move(log)),
      m_server(QStringLiteral("remoteapps stand-in"), QWebSocketServer::NonSecureMode)
{
    m_since.start();
    m_snapshot.clients = options.clients;
    m_snapshot.stringIds = options.stringIds;
    if (!options.key.isEmpty())
        m_knownKeys.insert(options.key);
    m_stepTimer.setSingleShot(true);
    m_stepTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_stepTimer, &QTimer::timeout, this, &RemoteAppsServer::nextStep);
    connect(&m_talkTimer, &QTimer::timeout, this, &RemoteAppsServer::sendTalk);
    connect(&m_server, &QWebSocketServer::newConnection, this, &RemoteAppsServer::accept);
}

// The open sockets are the server's children and go with it, after this
// object's members: what they tell on the way must not reach them.
RemoteAppsServer::~RemoteAppsServer()
{
    for (auto socket = m_numbers.keyBegin(); socket != m_numbers.keyEnd(); ++socket)
        (*socket)->disconnect(this);
}

bool RemoteAppsServer::start(QString *error)
{
    if (!m_options.stampsPath.isEmpty() && !m_stamps.open(m_options.stampsPath.toStdString())) {
        *error = QStringLiteral("cannot open %1").arg(m_options.stampsPath);
        return false;
    }
    m_port = m_options.port;
    if (!listen()) {
        *error = QStringLiteral("cannot listen on port %1: %2").arg(m_options.port).arg(m_server.errorString());
        return false;
    }
    if (m_options.talkEveryMs > 0)
        m_talkTimer.start(m_options.talkEveryMs);
    return true;
}

bool RemoteAppsServer::listen()
{
    if (!m_server.listen(QHostAddress::LocalHost, m_port))
        return false;
    m_port = m_server.serverPort();
    return true;
}

void RemoteAppsServer::log(const QByteArray &line)
{
    m_log(QByteArray::number(m_since.elapsed()) + ' ' + line);
}

QString RemoteAppsServer::newKey() const
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

void RemoteAppsServer::accept()
{
    while (QWebSocket *socket = m_server.nextPendingConnection()) {
        const int number = ++m_connections;
        m_numbers.insert(socket, number);
        log("connection " + QByteArray::number(number) + " opened");
        connect(socket, &QWebSocket::textMessageReceived, this,
                [this, socket](const QString &message) { received(socket, message.toUtf8()); });
        connect(socket, &QWebSocket::binaryMessageReceived, this,
                [this, socket](const QByteArray &message) { received(socket, message); });
        connect(socket, &QWebSocket::disconnected, this, [this, socket] {
            log("connection " + QByteArray::number(m_numbers.value(socket)) + " closed");
            m_allowed.remove(socket);
            m_numbers.remove(socket);
            socket->deleteLater();
        });
    }
}

void RemoteAppsServer::received(QWebSocket *socket, const QByteArray &message)
{
    log("received " + QByteArray::number(m_numbers.value(socket)) + ' ' + maskedForLog(message));
    const AppMessage read = readAppMessage(message);
    if (read.type != QLatin1String("auth"))
        return;
    ++m_authRequests;
    const QByteArray kind = read.apiKey.isEmpty() ? "empty" : m_knownKeys.contains(read.apiKey) ? "known" : "unknown";
    log("auth " + QByteArray::number(m_authRequests) + " key=" + kind);
    if (read.apiKey.isEmpty())
        answerEmptyKey(socket);
    else if (m_knownKeys.contains(read.apiKey))
        allow(socket, m_options.rotateKey ? newKey() : read.apiKey);
    else if (m_options.keyRefusal == KeyRefusal::Close)
        closeUnanswered(socket, "an unknown key");
    else
        refuse(socket, "an unknown key");
}

// The user decides after a while; a socket closed meanwhile hears nothing.
void RemoteAppsServer::answerEmptyKey(QWebSocket *socket)
{
    QTimer::singleShot(m_options.answerDelayMs, socket, [this, socket] {
        // TeamSpeak quits before the user decides once; started again, it
        // asks again and the user allows.
        const AuthAnswer answer =
            m_options.answer == AuthAnswer::Quit && m_quitUndecided ? AuthAnswer::Allow : m_options.answer;
        switch (answer) {
        case AuthAnswer::Allow:
            allow(socket, m_options.key.isEmpty() ? newKey() : m_options.key);
            break;
        case AuthAnswer::Deny:
            closeUnanswered(socket, "the user denied");
            break;
        case AuthAnswer::Refuse:
            refuse(socket, "the user refused");
            break;
        case AuthAnswer::Silent:
            log("auth left unanswered: the user does not decide");
            break;
        case AuthAnswer::Quit:
            log("the client quits before the user decided");
            m_quitUndecided = true;
            quit(m_options.backAfterMs);
            break;
        }
    });
}

void RemoteAppsServer::allow(QWebSocket *socket, const QString &key)
{
    m_knownKeys.insert(key);
    const QByteArray answer = authAllowed(key, m_snapshot);
    socket->sendTextMessage(QString::fromUtf8(answer));
    m_allowed.insert(socket);
    log("allowed " + QByteArray::number(m_numbers.value(socket)) + ": status 0, a key, "
        + QByteArray::number(m_snapshot.clients) + " clients (" + QByteArray::number(answer.size()) + " bytes)");
    if (!m_scriptStarted && !m_script.isEmpty()) {
        m_scriptStarted = true;
        nextStep();
    }
}

void RemoteAppsServer::refuse(QWebSocket *socket, const char *why)
{
    socket->sendTextMessage(QString::fromUtf8(authRefused(1)));
    log("refused " + QByteArray::number(m_numbers.value(socket)) + ": status 1, " + why);
}

void RemoteAppsServer::closeUnanswered(QWebSocket *socket, const char *why)
{
    log("closing " + QByteArray::number(m_numbers.value(socket)) + " without an answer: " + why);
    socket->close();
}

void RemoteAppsServer::nextStep()
{
    while (m_nextStep < m_script.size()) {
        const Step &step = m_script.at(m_nextStep++);
        switch (step.kind) {
        case Step::Kind::Sleep:
            m_stepTimer.start(step.ms);
            return;
        case Step::Kind::Echo:
            log("echo " + step.text.toUtf8());
            break;
        case Step::Kind::Send:
            broadcast(step.message);
            break;
        case Step::Kind::Quit:
            quit(step.ms);
            break;
        }
    }
    log("script done");
}

void RemoteAppsServer::broadcast(const QByteArray &event)
{
    const QString text = QString::fromUtf8(event);
    for (QWebSocket *socket : qAsConst(m_allowed)) {
        socket->sendTextMessage(text);
        socket->flush();
    }
    applySent(&m_snapshot, event);
    log("sent " + QByteArray::number(m_allowed.size()) + ' ' + event);
}

void RemoteAppsServer::sendTalk()
{
    m_talking = !m_talking;
    const int status = m_talking ? 1 : 0;
    const QString event = QString::fromUtf8(
        talkStatusChanged(m_snapshot.connectionId, m_snapshot.ownClientId, status, false, m_options.stringIds));
    // Timed from here to the light: nothing else is done until it is out.
    if (m_stamps.isOpen())
        m_stamps.write(std::uint64_t(status), ++m_talkEvents);
    const std::uint64_t started = stamps::steadyNowNs();
    for (QWebSocket *socket : qAsConst(m_allowed)) {
        socket->sendTextMessage(event);
        socket->flush();
    }
    // What the sending itself took (framing, and the loopback's delivery
    // in the write): part of every figure timed from the stamp.
    log("sent talk " + QByteArray::number(status) + " to " + QByteArray::number(m_allowed.size()) + " in "
        + QByteArray::number(qint64(stamps::steadyNowNs() - started)) + " ns");
}

void RemoteAppsServer::quit(int backAfterMs)
{
    log("quit: closing " + QByteArray::number(m_numbers.size()) + " connection(s), nothing listens");
    m_server.close();
    const QList<QWebSocket *> sockets = m_numbers.keys();
    for (QWebSocket *socket : sockets)
        socket->close(QWebSocketProtocol::CloseCodeGoingAway);
    if (backAfterMs < 0)
        return;
    QTimer::singleShot(backAfterMs, this, [this] {
        if (listen())
            log("listening again on " + QByteArray::number(m_port));
        else
            log("cannot listen again on " + QByteArray::number(m_port) + ": " + m_server.errorString().toUtf8());
    });
}

}  // namespace remoteapps
