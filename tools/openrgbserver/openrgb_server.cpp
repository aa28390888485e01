#include "openrgb_server.h"

#include <QRandomGenerator>
#include <QTcpSocket>

#include <algorithm>
#include <cstdio>

namespace openrgbserver {

namespace orgb = protocol::openrgb;

namespace {

QString quoted(const std::string &text)
{
    return QLatin1Char('"') + QString::fromStdString(text) + QLatin1Char('"');
}

QByteArray randomBytes(qint64 size)
{
    QByteArray bytes(int(size), Qt::Uninitialized);
    QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(bytes.data()), int(size / 4));
    bytes[0] = 'X';  // never the magic's first byte by chance
    return bytes;
}

}  // namespace

OpenRgbServer::OpenRgbServer(const ServerOptions &options, QObject *parent)
    : QObject(parent), m_options(options), m_controllers(options.controllers)
{
    m_since.start();
    connect(&m_server, &QTcpServer::newConnection, this, &OpenRgbServer::accept);
    m_feed.setInterval(20);
    connect(&m_feed, &QTimer::timeout, this, &OpenRgbServer::feedFaults);
}

bool OpenRgbServer::start(QString *error)
{
    const bool logOpen = m_options.logPath.isEmpty() ? m_log.open(stdout, QIODevice::WriteOnly | QIODevice::Text)
                                                     : (m_log.setFileName(m_options.logPath),
                                                        m_log.open(QIODevice::WriteOnly | QIODevice::Append));
    if (!logOpen) {
        *error = QStringLiteral("cannot write the log %1").arg(m_options.logPath);
        return false;
    }
    if (!m_options.stampsPath.isEmpty() && !m_stamps.open(m_options.stampsPath.toStdString())) {
        *error = QStringLiteral("cannot write the stamps to %1").arg(m_options.stampsPath);
        return false;
    }
    if (!m_server.listen(QHostAddress::LocalHost, m_options.port)) {
        *error = m_server.errorString();
        return false;
    }
    if (m_options.fault == Fault::Garbage || m_options.fault == Fault::Oversize)
        m_feed.start();
    return true;
}

std::uint32_t OpenRgbServer::controllerCount() const
{
    return m_controllers.empty() ? 0 : std::uint32_t(m_controllers.size()) - 1 + m_options.copies;
}

orgb::Controller &OpenRgbServer::controllerAt(std::uint32_t index)
{
    return m_controllers[std::min<std::size_t>(index, m_controllers.size() - 1)];
}

void OpenRgbServer::log(const QString &line)
{
    m_log.write(QByteArray::number(m_since.elapsed()) + ' ' + line.toUtf8() + '\n');
    m_log.flush();
}

void OpenRgbServer::send(QTcpSocket *socket, const orgb::Bytes &bytes)
{
    socket->write(reinterpret_cast<const char *>(bytes.data()), qint64(bytes.size()));
}

void OpenRgbServer::accept()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        m_clients[socket] = Client{};
        log(QStringLiteral("connected %1").arg(socket->peerPort()));
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
        // Queued, so a client closed while its packets are read stays valid
        // until that reading is over.
        connect(
            socket, &QTcpSocket::disconnected, this,
            [this, socket] {
                log(QStringLiteral("disconnected \"%1\"").arg(m_clients[socket].name));
                m_clients.erase(socket);
                socket->deleteLater();
            },
            Qt::QueuedConnection);
        if (m_options.fault == Fault::Magic) {
            orgb::Bytes header = orgb::packet(orgb::RequestProtocolVersion, 0, {4, 0, 0, 0});
            header[3] = 'X';
            send(socket, header);
        } else if (m_options.fault == Fault::Oversize) {
            orgb::Bytes header = orgb::packet(orgb::RequestProtocolVersion, 0);
            header[12 + 3] = 0x80;  // 2 GiB of data to come
            send(socket, header);
        }
    }
}

void OpenRgbServer::feedFaults()
{
    for (auto &entry : m_clients) {
        QTcpSocket *socket = entry.first;
        // Only as fast as the client reads: our own buffer stays small.
        if (socket->state() != QAbstractSocket::ConnectedState || socket->bytesToWrite() > 4 * kFeedChunk)
            continue;
        socket->write(m_options.fault == Fault::Garbage ? randomBytes(kFeedChunk) : QByteArray(kFeedChunk, '\0'));
    }
}

void OpenRgbServer::readFrom(QTcpSocket *socket)
{
    auto found = m_clients.find(socket);
    // A client being closed has had its say.
    if (found == m_clients.end() || socket->state() != QAbstractSocket::ConnectedState)
        return;
    Client &client = found->second;
    if (client.stalled)
        return;
    client.buffer += socket->readAll();
    if (m_options.fault == Fault::Silent || m_options.fault == Fault::Garbage || m_options.fault == Fault::Oversize
        || m_options.fault == Fault::Magic) {
        client.buffer.clear();
        return;
    }
    while (true) {
        const auto *bytes = reinterpret_cast<const std::uint8_t *>(client.buffer.constData());
        orgb::Header header;
        switch (orgb::parseHeader(bytes, std::size_t(client.buffer.size()), &header)) {
        case orgb::HeaderStatus::NeedMore:
            return;
        case orgb::HeaderStatus::BadMagic:
            return closeBad(socket, client, 0, QStringLiteral("wrong magic"));
        case orgb::HeaderStatus::TooLarge:
            return closeBad(socket, client, header.packetId, QStringLiteral("announces %1 bytes").arg(header.size));
        case orgb::HeaderStatus::Complete:
            break;
        }
        const qint64 whole = qint64(orgb::kHeaderSize) + header.size;
        if (client.buffer.size() < whole)
            return;
        if (!handle(socket, client, header, bytes + orgb::kHeaderSize))
            return;
        client.buffer.remove(0, int(whole));
    }
}

void OpenRgbServer::closeBad(QTcpSocket *socket, const Client &client, std::uint32_t packetId, const QString &why)
{
    log(QStringLiteral("bad packet %1 from \"%2\": %3").arg(packetId).arg(client.name, why));
    socket->disconnectFromHost();
}

bool OpenRgbServer::handle(QTcpSocket *socket, Client &client, const orgb::Header &header, const std::uint8_t *data)
{
    const std::size_t size = header.size;
    const std::uint32_t index = header.deviceIndex;
    const bool known = index < controllerCount();
    switch (header.packetId) {
    case orgb::RequestProtocolVersion: {
        // A server of version 0 does not know the packet.
        if (m_options.protocolVersion == 0)
            return true;
        const std::optional<std::uint32_t> asked = orgb::parseU32(data, size);
        if (!asked) {
            closeBad(socket, client, header.packetId, QStringLiteral("no version"));
            return false;
        }
        client.version = std::min(*asked, m_options.protocolVersion);
        const std::uint32_t v = client.version;
        send(socket, orgb::packet(orgb::RequestProtocolVersion, 0, {std::uint8_t(v), 0, 0, 0}));
        return true;
    }
    case orgb::SetClientName: {
        const std::optional<std::string> name = orgb::parseClientName(data, size);
        if (!name) {
            closeBad(socket, client, header.packetId, QStringLiteral("a malformed name"));
            return false;
        }
        client.name = QString::fromStdString(*name);
        log(QStringLiteral("client \"%1\" version %2").arg(client.name).arg(client.version));
        return true;
    }
    case orgb::RequestControllerCount: {
        const std::uint32_t count = controllerCount();
        send(socket, orgb::packet(orgb::RequestControllerCount, 0,
                                  {std::uint8_t(count), std::uint8_t(count >> 8), std::uint8_t(count >> 16),
                                   std::uint8_t(count >> 24)}));
        return true;
    }
    case orgb::RequestControllerData: {
        const std::optional<std::uint32_t> asked =
            size == 0 ? std::optional<std::uint32_t>(0) : orgb::parseU32(data, size);
        if (!asked) {
            closeBad(socket, client, header.packetId, QStringLiteral("%1 bytes of version").arg(size));
            return false;
        }
        if (!known) {
            log(QStringLiteral("ignored %1 for controller %2").arg(header.packetId).arg(index));
            return true;
        }
        const orgb::Bytes block =
            orgb::encodeControllerData(controllerAt(index), std::min(*asked, m_options.protocolVersion));
        orgb::Bytes answer = orgb::packet(orgb::RequestControllerData, index, block);
        if (m_options.fault == Fault::Cut) {
            answer.resize(answer.size() / 2);
            send(socket, answer);
            log(QStringLiteral("cut controller %1 after %2 bytes").arg(index).arg(answer.size()));
            socket->disconnectFromHost();
            return false;
        }
        send(socket, answer);
        return true;
    }
    case orgb::SetCustomMode:
    case orgb::UpdateMode:
    case orgb::UpdateLeds:
        break;
    default:  // anything else is not ours to check
        return true;
    }

    if (!known) {
        log(QStringLiteral("ignored %1 for controller %2").arg(header.packetId).arg(index));
        return true;
    }
    if (header.packetId == orgb::UpdateLeds && m_options.fault == Fault::Drop) {
        log(QStringLiteral("dropped \"%1\" at its first LED update").arg(client.name));
        socket->abort();
        return false;
    }
    if (header.packetId == orgb::UpdateLeds && m_options.fault == Fault::Stall) {
        // Neither Qt nor we take more: the kernel's buffers fill, then the
        // client's.
        log(QStringLiteral("stalled \"%1\" at its first LED update").arg(client.name));
        client.stalled = true;
        socket->setReadBufferSize(1);
        return false;
    }
    orgb::Controller &controller = controllerAt(index);
    const QString updated = QStringLiteral("update %1").arg(++m_updates[index]);
    if (header.packetId == orgb::UpdateLeds) {
        const std::optional<orgb::LedUpdate> update = orgb::parseUpdateLeds(data, size);
        if (!update || update->colours.size() != controller.leds.size()) {
            closeBad(
                socket, client, header.packetId,
                update
                    ? QStringLiteral("%1 colours for %2 LEDs").arg(update->colours.size()).arg(controller.leds.size())
                    : QStringLiteral("malformed LEDs"));
            return false;
        }
        controller.colors = update->colours;
        // Stamped first: the log line must not delay its arrival time.
        const orgb::Colour first = controller.colors.front();
        if (m_stamps.isOpen())
            m_stamps.write(index, std::int64_t(first.red) << 16 | first.green << 8 | first.blue);
        log(QStringLiteral("leds %1 %2 %3 %4 %5")
                .arg(index)
                .arg(quoted(controller.name))
                .arg(controller.colors.size())
                .arg(runLengthColours(controller.colors), updated));
        emit changed();
        return true;
    }
    int mode = orgb::perLedModeIndex(controller);
    if (header.packetId == orgb::UpdateMode) {
        const std::optional<orgb::ModeUpdate> update = orgb::parseUpdateMode(data, size, client.version);
        if (!update || update->modeIndex < 0 || std::size_t(update->modeIndex) >= controller.modes.size()) {
            closeBad(socket, client, header.packetId, QStringLiteral("malformed or unknown mode"));
            return false;
        }
        mode = update->modeIndex;
    } else if (size != 0 || mode < 0) {
        closeBad(socket, client, header.packetId, QStringLiteral("no per-LED mode, or data where none belongs"));
        return false;
    }
    controller.activeMode = mode;
    log(QStringLiteral("mode %1 %2 %3 %4")
            .arg(index)
            .arg(quoted(controller.name), quoted(controller.modes[std::size_t(mode)].name), updated));
    emit changed();
    return true;
}

void OpenRgbServer::switchControllers()
{
    if (m_options.thenControllers.empty())
        return;
    std::swap(m_options.controllers, m_options.thenControllers);
    m_controllers = m_options.controllers;
    QStringList names;
    for (const orgb::Controller &controller : m_controllers)
        names << quoted(controller.name);
    log(QStringLiteral("controllers %1").arg(names.join(QLatin1Char(' '))));
    for (auto &entry : m_clients) {
        if (entry.second.version >= 1)
            send(entry.first, orgb::packet(orgb::DeviceListUpdated, 0));
    }
    emit changed();
}

}  // namespace openrgbserver
