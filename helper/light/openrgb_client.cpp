#include "openrgb_client.h"

#include "light_animation.h"
#include "openrgb_protocol.h"
#include "tcp_peer_owner.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <utility>
#include <vector>

namespace orgb = protocol::openrgb;

namespace {

// More controllers than any machine has; the rest of a longer list is not
// read, so a hostile server cannot make us hold more.
constexpr std::uint32_t kMaxControllers = 256;
// What Qt may hold for us before we read it; we read it all at each signal.
constexpr qint64 kSocketBufferSize = 64 * 1024;
// A server that stops reading while an effect moves would make our queue
// grow without end; past this it counts as gone.
constexpr qint64 kMaxQueuedBytes = 1 << 20;

enum class Stage { Idle, Connecting, WaitVersion, WaitCount, WaitData, Enumerated };

// What we keep of a selected controller: only what showing a colour needs.
struct Target {
    std::uint32_t index = 0;
    std::size_t ledCount = 0;
    int modeIndex = -1;  // its per-LED mode, -1: switch it by SETCUSTOMMODE
    orgb::Mode mode;
    bool modeSet = false;  // once per command
};

}  // namespace

struct OpenRgbClient::Private {
    OpenRgbClient *q = nullptr;
    OpenRgbSettings settings;
    QStringList selected;  // trimmed and case-folded; empty = every controller

    bool started = false;
    bool ready = false;
    QTcpSocket *socket = nullptr;
    Stage stage = Stage::Idle;
    std::uint32_t version = 0;
    QByteArray buffer;  // never more than one header and its largest data
    std::uint32_t controllerCount = 0;
    std::uint32_t nextIndex = 0;
    // Answers to requests made before a DEVICE_LIST_UPDATED: still to come,
    // in order, and no longer wanted.
    int staleAnswers = 0;
    std::vector<Target> targets;

    QTimer deadline;  // the one awaited answer (or the connection)
    QTimer retry;
    bool retriedAtOnce = false;
    QString lastFailure;  // logged once until a success or another failure
    bool loggedUnknownOwner = false;

    bool hasCommand = false;
    protocol::LightFields fields;
    QElapsedTimer commandClock;
    QTimer animation;
    bool hasSentColour = false;
    light::Rgb sentColour;

    QString where() const { return QStringLiteral("%1:%2").arg(settings.host).arg(settings.port); }

    void connectNow();
    void onConnected();
    void onReadyRead();
    void onDeadline();
    bool handlePacket(const orgb::Header &header, const std::uint8_t *data);
    void enumerate();
    void requestNextController();
    void finishEnumeration();
    bool isSelected(const std::string &name) const;
    void setReady(bool on);

    void send(const orgb::Bytes &bytes);
    void showLast();
    void sendFrame(const light::Rgb &colour);
    void onAnimationStep();

    void logFailure(const QString &line);
    void fail(const QString &line);
    void closeSocket();
    void dropSession();
};

void OpenRgbClient::Private::connectNow()
{
    if (!started || socket)
        return;
    socket = new QTcpSocket(q);  // a child, so none outlives us
    socket->setReadBufferSize(kSocketBufferSize);
    QObject::connect(socket, &QTcpSocket::connected, q, [this] { onConnected(); });
    QObject::connect(socket, &QTcpSocket::readyRead, q, [this] { onReadyRead(); });
    QObject::connect(socket, &QTcpSocket::errorOccurred, q, [this](QAbstractSocket::SocketError) {
        const bool connected = stage != Stage::Connecting;
        fail(QStringLiteral("%1 the light server at %2: %3")
                 .arg(connected ? QStringLiteral("Lost") : QStringLiteral("Cannot reach"), where(),
                      socket->errorString()));
    });
    QObject::connect(socket, &QTcpSocket::disconnected, q,
                     [this] { fail(QStringLiteral("The light server at %1 closed the connection").arg(where())); });
    stage = Stage::Connecting;
    deadline.start(OpenRgbClient::kAnswerWaitMs);
    socket->connectToHost(settings.host, settings.port);
}

void OpenRgbClient::Private::onConnected()
{
    if (socket->peerAddress().isLoopback()) {
        const platform::ServerOwner owner =
            platform::tcpPeerOwner(socket->localAddress().toString().toStdString(), socket->localPort(),
                                   socket->peerAddress().toString().toStdString(), socket->peerPort());
        if (owner.verdict == platform::PeerOwner::OtherUser) {
            fail(QStringLiteral("Refusing the light server at %1: another user runs it (%2); run a lighting server "
                                "of your own, in your own session, and set [device] openrgbPort to its port")
                     .arg(where(), QString::fromStdString(owner.who)));
            return;
        }
        if (owner.verdict == platform::PeerOwner::Unknown && !loggedUnknownOwner) {
            loggedUnknownOwner = true;
            qDebug().noquote() << QStringLiteral("Cannot tell who runs the light server at %1; using it").arg(where());
        }
    }
    // Each frame goes out at once: waiting for the server's acknowledgement
    // of the last one would hold a colour back for tens of milliseconds.
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    stage = Stage::WaitVersion;
    version = 0;
    send(orgb::requestProtocolVersion(orgb::kClientVersion));
    deadline.start(OpenRgbClient::kVersionWaitMs);
}

void OpenRgbClient::Private::onReadyRead()
{
    QTcpSocket *const reading = socket;
    while (socket == reading && socket->bytesAvailable() > 0) {
        const qint64 room = qint64(orgb::kHeaderSize + orgb::kMaxPacketSize) - buffer.size();
        buffer.append(socket->read(std::min(room, kSocketBufferSize)));
        int used = 0;
        while (socket == reading) {
            const auto *start = reinterpret_cast<const std::uint8_t *>(buffer.constData()) + used;
            const std::size_t left = std::size_t(buffer.size() - used);
            orgb::Header header;
            const orgb::HeaderStatus status = orgb::parseHeader(start, left, &header);
            if (status == orgb::HeaderStatus::BadMagic) {
                fail(QStringLiteral("The light server at %1 sent a packet without its mark").arg(where()));
                return;
            }
            if (status == orgb::HeaderStatus::TooLarge) {
                fail(QStringLiteral("The light server at %1 sent a packet too large").arg(where()));
                return;
            }
            if (status == orgb::HeaderStatus::NeedMore || left < orgb::kHeaderSize + header.size)
                break;
            used += int(orgb::kHeaderSize + header.size);
            if (!handlePacket(header, start + orgb::kHeaderSize)) {
                fail(QStringLiteral("The light server at %1 sent a packet we cannot read").arg(where()));
                return;
            }
        }
        if (socket == reading)
            buffer.remove(0, used);
    }
}

bool OpenRgbClient::Private::handlePacket(const orgb::Header &header, const std::uint8_t *data)
{
    switch (header.packetId) {
    case orgb::RequestProtocolVersion: {
        if (stage != Stage::WaitVersion)
            return true;
        const auto answer = orgb::parseU32(data, header.size);
        if (!answer)
            return false;
        version = std::min(orgb::kClientVersion, *answer);
        send(orgb::setClientName(orgb::kClientName));
        enumerate();
        return true;
    }
    case orgb::RequestControllerCount: {
        if (staleAnswers > 0) {
            --staleAnswers;
            return true;
        }
        if (stage != Stage::WaitCount)
            return true;
        const auto count = orgb::parseU32(data, header.size);
        if (!count)
            return false;
        controllerCount = std::min(*count, kMaxControllers);
        nextIndex = 0;
        requestNextController();
        return true;
    }
    case orgb::RequestControllerData: {
        if (staleAnswers > 0) {
            --staleAnswers;
            return true;
        }
        if (stage != Stage::WaitData || header.deviceIndex != nextIndex)
            return true;
        auto controller = orgb::parseControllerData(data, header.size, version);
        if (!controller)
            return false;
        if (isSelected(controller->name)) {
            Target target;
            target.index = nextIndex;
            target.ledCount = controller->leds.size();
            target.modeIndex = orgb::perLedModeIndex(*controller);
            if (target.modeIndex >= 0)
                target.mode = std::move(controller->modes[std::size_t(target.modeIndex)]);
            targets.push_back(std::move(target));
        }
        ++nextIndex;
        requestNextController();
        return true;
    }
    case orgb::DeviceListUpdated:
        if (stage == Stage::WaitCount || stage == Stage::WaitData)
            ++staleAnswers;
        if (stage == Stage::WaitCount || stage == Stage::WaitData || stage == Stage::Enumerated)
            enumerate();
        return true;
    default:
        return true;  // nothing we asked for
    }
}

void OpenRgbClient::Private::enumerate()
{
    targets.clear();
    animation.stop();
    setReady(false);
    stage = Stage::WaitCount;
    send(orgb::requestControllerCount());
    deadline.start(OpenRgbClient::kAnswerWaitMs);
}

void OpenRgbClient::Private::requestNextController()
{
    if (nextIndex >= controllerCount) {
        finishEnumeration();
        return;
    }
    stage = Stage::WaitData;
    send(orgb::requestControllerData(nextIndex, version));
    deadline.start(OpenRgbClient::kAnswerWaitMs);
}

void OpenRgbClient::Private::finishEnumeration()
{
    deadline.stop();
    stage = Stage::Enumerated;
    const bool any = std::any_of(targets.begin(), targets.end(), [](const Target &t) { return t.ledCount > 0; });
    if (!any) {
        // Connected, but nothing of ours to light: wait for the server's list
        // to change.
        logFailure(QStringLiteral("The light server at %1 has no selected controller with LEDs").arg(where()));
        return;
    }
    lastFailure.clear();
    retriedAtOnce = false;
    qDebug().noquote() << QStringLiteral("The light server at %1: version %2, %3 controller(s) to light")
                              .arg(where())
                              .arg(version)
                              .arg(targets.size());
    // Shown before anyone hears of it, so a listener's own show() comes last.
    ready = true;
    showLast();
    if (ready)
        emit q->readyChanged(true);
}

bool OpenRgbClient::Private::isSelected(const std::string &name) const
{
    return selected.isEmpty() || selected.contains(QString::fromStdString(name).trimmed().toCaseFolded());
}

void OpenRgbClient::Private::setReady(bool on)
{
    if (ready == on)
        return;
    ready = on;
    emit q->readyChanged(on);
}

void OpenRgbClient::Private::send(const orgb::Bytes &bytes)
{
    // A listener of readyChanged may have stopped us meanwhile.
    if (socket)
        socket->write(reinterpret_cast<const char *>(bytes.data()), qint64(bytes.size()));
}

void OpenRgbClient::Private::showLast()
{
    animation.stop();
    hasSentColour = false;
    if (!ready || !hasCommand)
        return;
    // Each command (and a server that is new to us) begins at full
    // colour, and puts every controller in its per-LED mode again: another
    // program may have changed it meanwhile.
    commandClock.start();
    for (Target &target : targets)
        target.modeSet = false;
    sendFrame(light::frameColour(fields, 0));
    if (light::isAnimated(fields.effect))
        animation.start();
}

void OpenRgbClient::Private::sendFrame(const light::Rgb &colour)
{
    if (socket->bytesToWrite() > kMaxQueuedBytes) {
        fail(QStringLiteral("The light server at %1 does not read what we send").arg(where()));
        return;
    }
    const orgb::Colour wire{colour.red, colour.green, colour.blue};
    for (Target &target : targets) {
        if (target.ledCount == 0)
            continue;
        if (!target.modeSet) {
            target.modeSet = true;
            send(target.modeIndex >= 0 ? orgb::updateMode(target.index, target.modeIndex, target.mode, version)
                                       : orgb::setCustomMode(target.index));
        }
        send(orgb::updateLeds(target.index, std::vector<orgb::Colour>(target.ledCount, wire)));
    }
    hasSentColour = true;
    sentColour = colour;
}

void OpenRgbClient::Private::onAnimationStep()
{
    const light::Rgb colour = light::frameColour(fields, commandClock.elapsed());
    if (!hasSentColour || colour != sentColour)
        sendFrame(colour);
}

void OpenRgbClient::Private::onDeadline()
{
    if (stage == Stage::WaitVersion) {
        // A version 0 server ignores the request: go on unversioned.
        version = 0;
        send(orgb::setClientName(orgb::kClientName));
        enumerate();
        return;
    }
    fail(QStringLiteral("The light server at %1 does not answer").arg(where()));
}

void OpenRgbClient::Private::logFailure(const QString &line)
{
    if (line == lastFailure)
        return;
    lastFailure = line;
    qDebug().noquote() << line;
}

void OpenRgbClient::Private::fail(const QString &line)
{
    logFailure(line);
    dropSession();
    if (!started)
        return;
    retry.start(retriedAtOnce ? OpenRgbClient::kRetryIntervalMs : 0);
    retriedAtOnce = true;
}

void OpenRgbClient::Private::closeSocket()
{
    if (!socket)
        return;
    QTcpSocket *const old = std::exchange(socket, nullptr);
    old->disconnect(q);
    // What is queued still goes out (a last Off at exit), without waiting.
    old->flush();
    old->disconnectFromHost();
    // Not now: we may be inside one of its signals.
    old->deleteLater();
}

void OpenRgbClient::Private::dropSession()
{
    closeSocket();
    deadline.stop();
    animation.stop();
    stage = Stage::Idle;
    buffer.clear();
    buffer.squeeze();
    targets.clear();
    staleAnswers = 0;
    hasSentColour = false;
    setReady(false);
}

OpenRgbClient::OpenRgbClient(const OpenRgbSettings &settings, QObject *parent)
    : QObject(parent), d(std::make_unique<Private>())
{
    d->q = this;
    d->settings = settings;
    for (const QString &name : settings.devices)
        d->selected.append(name.trimmed().toCaseFolded());
    d->deadline.setSingleShot(true);
    d->retry.setSingleShot(true);
    d->animation.setInterval(light::kAnimationStepMs);
    connect(&d->deadline, &QTimer::timeout, this, [this] { d->onDeadline(); });
    connect(&d->retry, &QTimer::timeout, this, [this] { d->connectNow(); });
    connect(&d->animation, &QTimer::timeout, this, [this] { d->onAnimationStep(); });
}

OpenRgbClient::~OpenRgbClient()
{
    if (d->socket) {
        QTcpSocket *const old = std::exchange(d->socket, nullptr);
        old->disconnect(this);
        old->flush();
        old->disconnectFromHost();
        delete old;
    }
}

void OpenRgbClient::start()
{
    if (d->started)
        return;
    d->started = true;
    d->retriedAtOnce = false;
    d->connectNow();
}

void OpenRgbClient::stop()
{
    if (!d->started)
        return;
    d->started = false;
    d->retry.stop();
    d->dropSession();
}

void OpenRgbClient::searchAgain()
{
    if (!d->started || d->socket)
        return;
    d->retry.stop();
    d->connectNow();
}

bool OpenRgbClient::isStarted() const
{
    return d->started;
}

bool OpenRgbClient::isReady() const
{
    return d->ready;
}

bool OpenRgbClient::show(const protocol::LightCommand &command)
{
    d->fields = command.unpack();
    d->hasCommand = true;
    if (!d->started || !d->ready)
        return false;
    d->showLast();
    return d->ready;
}

void OpenRgbClient::forgetLastCommand()
{
    d->hasCommand = false;
    d->animation.stop();
}
