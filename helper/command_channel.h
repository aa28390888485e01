// The helper's end of the command channel: serves the command server name
// once no other helper of the user does, takes the plugins' connections
// within limits, and hands on every complete word with the client that sent
// it.
#pragma once

#include "command_words.h"
#include "server_name_claim.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <vector>

class QLocalServer;
class QLocalSocket;

class CommandChannel : public QObject
{
    Q_OBJECT

public:
    // More plugins than a user runs clients, few enough for any system's
    // descriptor limit.
    static constexpr int kMaxConnections = 32;
    // More than one client process ever needs: a process that opens more
    // loses its oldest, so it cannot crowd the others out.
    static constexpr int kMaxConnectionsPerClient = 8;
    // Longer than any real word takes in transit.
    static constexpr qint64 kIncompleteWordLimitMs = 5000;
    // How soon a waiting helper takes over a name that has come free.
    static constexpr int kTakeOverPollMs = 250;

    // Carries out one command word from `client` (the sender's process id,
    // or a negative stand-in when the system does not tell it).
    using WordHandler = std::function<void(qint64 client, protocol::CommandWord word)>;

    CommandChannel(const QString &name, WordHandler handler, QObject *parent = nullptr);
    ~CommandChannel() override;

    // Serves the name now or, while another helper serves it, as soon as
    // that one stops.
    void open();
    bool isServing() const { return m_claim.held(); }
    // Whether no helper serves the name now; never waits.
    bool nameIsFree() const;
    // Stops serving at once: the server and every connection close, and the
    // name is free for the next helper.
    void close();
    // Acts on every complete word already received, on every connection.
    void readPending();
    int connectionCount() const { return int(m_connections.size()); }
    int connectionsOf(qint64 client) const;

signals:
    void serving();
    void connectionClosed(qint64 client);
    void connectionsChanged();

private:
    struct Connection {
        QLocalSocket *socket = nullptr;
        qint64 client = 0;
        qint64 openedAt = 0;
        qint64 incompleteSince = -1;  // -1: holds no part of a word
        bool spoke = false;           // has sent a command word
    };

    void tryToServe();
    void listen();
    void acceptPending();
    void adopt(QLocalSocket *socket);
    void readFrom(QLocalSocket *socket);
    void forget(QLocalSocket *socket);
    void drop(QLocalSocket *socket);
    bool serverFailed() const;
    void queueServerCheck();
    void checkServer();
    void armCheckTimer();
    void onCheckTimer();
    Connection *find(QLocalSocket *socket);

    const QString m_name;
    const WordHandler m_handler;
    platform::ServerNameClaim m_claim;
    QLocalServer *m_server = nullptr;
    std::vector<Connection> m_connections;
    QTimer m_takeOverTimer;
    // Runs only while there is something to check: a connection that holds
    // part of a word, or a server to open again.
    QTimer m_checkTimer;
    QElapsedTimer m_clock;
    qint64 m_listenRetryAt = -1;  // -1: the server listens, or is not ours to open
    bool m_serverCheckQueued = false;
    qint64 m_lastStandIn = 0;
    bool m_waitLogged = false;
    bool m_listenFailureLogged = false;
    bool m_stopLogged = false;  // once: a flood may stop it again and again
    bool m_fullLogged = false;
    qint64 m_crowdingLogged = 0;  // the last process told it holds too many
};
