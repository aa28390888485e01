// The plugin's one link to the helper: a local socket that carries command
// words. Synchronous calls with time limits only, so it needs no event loop,
// works from whichever thread the host calls on, and never holds that thread
// for long.
#pragma once

#include <QElapsedTimer>
#include <QObject>

namespace platform {
class CommandClient;
}

class Vossik : public QObject
{
public:
    explicit Vossik(QObject *parent);
    ~Vossik() override;

    // Sends one command word; a word that cannot be sent is lost.
    void talkStatusChange(const QString &word);

private:
    bool isConnected();
    bool reconnectIfDue();

    platform::CommandClient *m_socket = nullptr;
    QElapsedTimer m_sinceLastAttempt;
};

// The link, created on first need by ensureLink() and dropped at shutdown.
extern Vossik *g_link;
void ensureLink();
