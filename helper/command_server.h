// Opening the helper's command server.
#pragma once

#include <QString>

class QLocalServer;

// Listens under `name` for the current user only. A name left behind by a
// helper that died is taken over; a name a live helper answers on is not.
bool listenForCommands(QLocalServer *server, const QString &name);
