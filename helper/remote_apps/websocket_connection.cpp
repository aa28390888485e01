#include "websocket_connection.h"

#include "websocket_frame_writer.h"
#include "websocket_handshake.h"

#include <QDebug>
#include <QHostAddress>

namespace remote_apps::websocket {

namespace {
// How long a close frame waits for the server's.
constexpr int kCloseWaitMs = 2000;
}  // namespace

Connection::Connection(qint64 maxMessageBytes, QObject *parent)
    : QObject(parent), m_maxMessageBytes(maxMessageBytes), m_reader(maxMessageBytes)
{
    m_closeTimer.setSingleShot(true);
    connect(&m_closeTimer, &QTimer::timeout, this, &Connection::abort);
    connect(&m_socket, &QTcpSocket::connected, this, [this] {
        m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        m_socket.write(handshakeRequest(m_port, m_key));
    });
    connect(&m_socket, &QTcpSocket::readyRead, this, &Connection::onReadable);
    connect(&m_socket, &QTcpSocket::disconnected, this, &Connection::finish);
    // A connection refused ends in an error alone.
    connect(&m_socket, &QTcpSocket::errorOccurred, this, [this] {
        if (m_socket.state() == QAbstractSocket::UnconnectedState)
            finish();
    });
}

Connection::~Connection()
{
    m_socket.disconnect(this);  // its end would be told to a half-destroyed object
    m_socket.abort();
}

void Connection::open(quint16 port)
{
    abort();
    m_state = State::Connecting;
    m_port = port;
    m_key = newKey();
    m_head.clear();
    m_reader = FrameReader(m_maxMessageBytes);
    m_closeCode = 0;
    ++m_generation;
    m_socket.connectToHost(QHostAddress::LocalHost, port);
}

void Connection::sendTextMessage(const QByteArray &utf8)
{
    if (m_state == State::Open)
        send(Opcode::Text, utf8);
}

void Connection::close(std::uint16_t code)
{
    if (m_state != State::Open)
        return abort();
    send(Opcode::Close, closePayload(code));
    m_closeCode = code;
    m_state = State::Closing;
    m_closeTimer.start(kCloseWaitMs);
}

void Connection::abort()
{
    m_socket.abort();
    finish();
}

void Connection::onReadable()
{
    QByteArray bytes = m_socket.readAll();
    if (m_state == State::Connecting) {
        m_head += bytes;
        const HandshakeCheck check = checkHandshake(m_head, m_key);
        if (check.status == HandshakeCheck::Status::NeedMore)
            return;
        if (check.status == HandshakeCheck::Status::Refused) {
            qDebug() << "Remote Apps: not a WebSocket server:" << check.reason.constData();
            return abort();
        }
        bytes = m_head.mid(check.headSize);
        m_head.clear();
        m_state = State::Open;
        const quint64 generation = m_generation;
        emit connected();
        if (generation != m_generation || m_state == State::Closed)
            return;
    }
    if (m_state == State::Open || m_state == State::Closing)
        handle(m_reader.feed(bytes));
}

void Connection::handle(const std::vector<FrameEvent> &events)
{
    const quint64 generation = m_generation;
    for (const FrameEvent &event : events) {
        switch (event.kind) {
        case FrameEvent::Kind::Text:
            if (m_state == State::Open)
                emit textMessageReceived(event.payload);
            if (generation != m_generation)
                return;  // ended by its handler
            break;
        case FrameEvent::Kind::Ping:
            if (m_state == State::Open)  // nothing follows a close frame
                send(Opcode::Pong, event.payload);
            break;
        case FrameEvent::Kind::Pong:
            break;
        case FrameEvent::Kind::Close:
            if (m_state != State::Closing) {
                m_closeCode = event.code;
                send(Opcode::Close, event.code == CloseNoStatus ? QByteArray() : closePayload(event.code));
            }
            m_state = State::Closing;
            m_socket.disconnectFromHost();
            return;
        case FrameEvent::Kind::Error:
            if (event.code != CloseTooLarge)  // the owner tells of that one
                qDebug() << "Remote Apps: closing the WebSocket:" << event.payload.constData();
            m_closeCode = event.code;
            send(Opcode::Close, closePayload(event.code));
            m_state = State::Closing;
            m_socket.disconnectFromHost();
            return;
        }
    }
}

void Connection::send(Opcode opcode, const QByteArray &payload)
{
    m_socket.write(encodeFrame(opcode, payload, newMask()));
}

void Connection::finish()
{
    if (m_state == State::Closed)
        return;
    m_state = State::Closed;
    m_closeTimer.stop();
    ++m_generation;
    emit disconnected();
}

}  // namespace remote_apps::websocket
