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
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (server->listen(name))
        return true;
    if (server->serverError() == QAbstractSocket::AddressInUseError && !someoneAnswers(name)) {
        qDebug() << "Command server name left behind, taking it over:" << name;
        QLocalServer::removeServer(name);
        if (server->listen(name))
            return true;
    }
    qDebug() << "Command server not listening:" << name << server->errorString();
    return false;
}
