// The stand-in lighting server: the controllers it was given, every client
// parsed packet by packet (any split), and one log line per event.
#pragma once

#include "server_options.h"
#include "stamp_record.h"

#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QTcpServer>
#include <QTimer>

#include <map>

class QTcpSocket;

namespace openrgbserver {

class OpenRgbServer : public QObject
{
    Q_OBJECT

public:
    explicit OpenRgbServer(const ServerOptions &options, QObject *parent = nullptr);

    // Opens the log and the stamps, then listens; false with `error` set.
    bool start(QString *error);
    quint16 port() const { return m_server.serverPort(); }
    const Controllers &controllers() const { return m_controllers; }

    // To the other list of controllers (SIGUSR1), telling every client that
    // speaks version 1 or later.
    void switchControllers();

    // Fault servers stream this much at a time while the peer takes it.
    static constexpr qint64 kFeedChunk = 64 * 1024;

signals:
    void changed();

private:
    struct Client {
        QByteArray buffer;
        std::uint32_t version = 0;
        QString name = QStringLiteral("?");
        bool stalled = false;  // reads nothing more
    };

    // Every controller served: the last of the list as many times as asked.
    std::uint32_t controllerCount() const;
    protocol::openrgb::Controller &controllerAt(std::uint32_t index);

    void accept();
    void readFrom(QTcpSocket *socket);
    // False once the client was closed: its entry must not be touched again.
    bool handle(QTcpSocket *socket, Client &client, const protocol::openrgb::Header &header, const std::uint8_t *data);
    void closeBad(QTcpSocket *socket, const Client &client, std::uint32_t packetId, const QString &why);
    void feedFaults();
    void send(QTcpSocket *socket, const protocol::openrgb::Bytes &bytes);
    void log(const QString &line);

    ServerOptions m_options;
    Controllers m_controllers;
    std::map<std::uint32_t, std::uint64_t> m_updates;  // mode and LED updates per controller index
    QTcpServer m_server;
    std::map<QTcpSocket *, Client> m_clients;
    QElapsedTimer m_since;
    QFile m_log;
    stamps::StampWriter m_stamps;
    QTimer m_feed;  // garbage and oversize data, while a client reads it
};

}  // namespace openrgbserver
