// A WebSocket client connection to ws://127.0.0.1:<port>/ over QTcpSocket,
// on the caller's thread and never waited on: the handshake, text messages
// both ways, pings answered, and the closing handshake. The helper's own,
// so the Windows build needs no Qt module beyond Qt Network.
#pragma once

#include "websocket_frame_reader.h"

#include <QObject>
#include <QTcpSocket>
#include <QTimer>

namespace remote_apps::websocket {

class Connection : public QObject
{
    Q_OBJECT

public:
    // Larger messages close the connection with CloseTooLarge.
    explicit Connection(qint64 maxMessageBytes, QObject *parent = nullptr);
    ~Connection() override;

    // Ends any connection there is first.
    void open(quint16 port);
    // Ignored unless open.
    void sendTextMessage(const QByteArray &utf8);
    // A close frame, then the end once the server answers it (or soon).
    void close(std::uint16_t code = CloseNormal);
    // At once, without a close frame.
    void abort();
    bool isOpen() const { return m_state == State::Open; }
    // The close code the last connection ended with, sent or received; 0
    // when it ended without one.
    std::uint16_t closeCode() const { return m_closeCode; }

signals:
    void connected();
    void textMessageReceived(const QByteArray &utf8);
    // Once for each open(), also when it never connected.
    void disconnected();

private:
    enum class State { Closed, Connecting, Open, Closing };

    void onReadable();
    void handle(const std::vector<FrameEvent> &events);
    void send(Opcode opcode, const QByteArray &payload);
    void finish();

    const qint64 m_maxMessageBytes;
    QTcpSocket m_socket;
    QTimer m_closeTimer;
    FrameReader m_reader;
    State m_state = State::Closed;
    quint16 m_port = 0;
    QByteArray m_key;
    QByteArray m_head;
    std::uint16_t m_closeCode = 0;
    quint64 m_generation = 0;  // which connection a signal's handler may have ended
};

}  // namespace remote_apps::websocket
