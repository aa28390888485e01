// The helper's client of TeamSpeak 5/6's Remote Apps interface: a WebSocket
// (websocket_connection.h) to ws://127.0.0.1:<port>/ on the GUI thread, never waited on. It pairs and
// looks again as remote_apps_pairing.h decides, and tells the user's state
// as the plugin's words (remote_apps_state.h), as one more client of the
// helper whose id no process has.
#pragma once

#include "command_words.h"
#include "remote_apps_pairing.h"
#include "remote_apps_settings.h"
#include "remote_apps_state.h"
#include "websocket_connection.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <limits>
#include <utility>

class QTcpSocket;

namespace remote_apps {

class Client : public QObject
{
    Q_OBJECT

public:
    // The helper's client id for TeamSpeak 5/6: no process id, nor any
    // stand-in the command channel counts down to.
    static constexpr qint64 kClientId = std::numeric_limits<qint64>::min();
    // A large server's first answer is tens of kilobytes; larger messages
    // close the connection.
    static constexpr qint64 kMaxMessageBytes = 8 << 20;

    // Read when it starts: another helper may have stored a key meanwhile.
    using SettingsSource = std::function<Settings()>;
    using KeyStore = std::function<bool(const QString &key)>;

    // `firstIntervalMs`: how soon it looks again first (Pairing).
    Client(SettingsSource readSettings, KeyStore storeKey, std::int64_t firstIntervalMs = Pairing::kFirstIntervalMs,
           QObject *parent = nullptr);
    ~Client() override;

    // Unless the settings say off: connects now and from then on whenever
    // TeamSpeak is back. Once.
    void start();
    // Closes for good, telling nothing more.
    void stop();
    // Unless granted now: forgets a refusal and pairs from the start, as
    // after the user removed the app in TeamSpeak.
    void pairAgain();

    // What the client follows now, for the user to see.
    enum class Status {
        Off,         // not started, stopped, or off in the settings
        Looking,     // TeamSpeak is not there, or has not answered yet
        AskingUser,  // the user has to allow the app in TeamSpeak
        Refused,     // until pairAgain() or the helper's next start
        Connected,
    };
    Status status() const;
    // The TeamSpeak servers the user is connected to, while Connected.
    int servers() const { return m_granted ? m_state.establishedConnections() : 0; }

signals:
    // A word of the client, as the plugin sends them.
    void word(protocol::CommandWord word);
    // The client has ended (TeamSpeak closed after granting).
    void ended();
    // status() or servers() may have changed.
    void statusChanged();

private:
    void carryOut(const Pairing::Step &step);
    void connectNow();
    void onText(const QByteArray &text);
    void onGone();
    void probe();
    void onProbed(bool listening);
    void tell(const Words &words);
    void tellStatus();

    const SettingsSource m_readSettings;
    const KeyStore m_storeKey;
    const std::int64_t m_firstIntervalMs;
    quint16 m_port = 0;
    Pairing m_pairing{QString()};
    UserState m_state;
    websocket::Connection m_socket{kMaxMessageBytes};
    QTcpSocket *m_probe = nullptr;
    QTimer m_connectTimer;
    QTimer m_probeTimer;
    bool m_attempt = false;  // a connection is being made or open
    bool m_granted = false;
    bool m_stopped = true;  // until start()
    bool m_unreachableLogged = false;
    bool m_tooLargeLogged = false;
    std::pair<Status, int> m_toldStatus{Status::Off, 0};
};

}  // namespace remote_apps
