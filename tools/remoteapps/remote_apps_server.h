// The stand-in Remote Apps server: answers each app's "auth" as the options
// say, plays the script to the apps allowed, quits and comes back, and logs
// a line for everything an app sent (keys masked) and everything it did.
#pragma once

#include "messages.h"
#include "script.h"
#include "server_options.h"
#include "stamp_record.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSet>
#include <QTimer>
#include <QWebSocketServer>

#include <functional>

class QWebSocket;

namespace remoteapps {

class RemoteAppsServer : public QObject
{
    Q_OBJECT

public:
    // Each log line goes to `log`, without its line end.
    RemoteAppsServer(const ServerOptions &options, const QList<Step> &script,
                     std::function<void(const QByteArray &)> log, QObject *parent = nullptr);
    ~RemoteAppsServer() override;

    // Opens the stamps, then listens; false with `error` set.
    bool start(QString *error);
    quint16 port() const { return m_port; }
    int authRequests() const { return m_authRequests; }

    // Your talk, on and off in turn, to every app allowed, with a send stamp.
    void sendTalk();

private:
    void accept();
    void received(QWebSocket *socket, const QByteArray &message);
    void answerEmptyKey(QWebSocket *socket);
    void allow(QWebSocket *socket, const QString &key);
    void refuse(QWebSocket *socket, const char *why);
    void closeUnanswered(QWebSocket *socket, const char *why);
    void nextStep();
    void broadcast(const QByteArray &event);
    // The client quits: every socket closed, nothing listens; back after
    // `backAfterMs` unless it is negative.
    void quit(int backAfterMs);
    bool listen();
    void log(const QByteArray &line);
    QString newKey() const;

    const ServerOptions m_options;
    const QList<Step> m_script;
    const std::function<void(const QByteArray &)> m_log;
    QWebSocketServer m_server;
    quint16 m_port = 0;
    QElapsedTimer m_since;
    QHash<QWebSocket *, int> m_numbers;  // each connection's number, for the log
    int m_connections = 0;
    QSet<QWebSocket *> m_allowed;
    QSet<QString> m_knownKeys;
    Snapshot m_snapshot;
    int m_authRequests = 0;
    bool m_quitUndecided = false;
    bool m_scriptStarted = false;
    int m_nextStep = 0;
    QTimer m_stepTimer;
    QTimer m_talkTimer;
    bool m_talking = false;
    std::int64_t m_talkEvents = 0;
    stamps::StampWriter m_stamps;
};

}  // namespace remoteapps
