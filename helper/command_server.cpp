#include "command_server.h"

#include <QDebug>
#include <QLocalServer>
#include <QLocalSocket>

namespace {

constexpr int kProbeTimeoutMs = 200;

bool someoneAnswers(const QString &name)
{
    QLocalSocket probe;
    probe.connectToServer(name);
    const bool answered = probe.waitForConnected(kProbeTimeoutMs);
    probe.abort();
    return answered;
}

}  // namespace

bool listenForCommands(QLocalServer *server, const QString &name)
{
    // Ask first: listening with access options replaces whatever holds the
    // name (a rename on Unix, another pipe instance on Windows), which would
    // take the plugin away from a helper that is still running.
    if (someoneAnswers(name)) {
        qDebug() << "Command server not listening: a running helper answers on" << name;
        return false;
    }
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (server->listen(name))
        return true;
    if (server->serverError() == QAbstractSocket::AddressInUseError) {
        qDebug() << "Command server name left behind, taking it over:" << name;
        QLocalServer::removeServer(name);
        if (server->listen(name))
            return true;
    }
    qDebug() << "Command server not listening:" << name << server->errorString();
    return false;
}
