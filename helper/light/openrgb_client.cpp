#include "openrgb_client.h"

#include "light_animation.h"
#include "openrgb_protocol.h"
#include "tcp_peer_owner.h"
#include "update_pacing.h"

#include <QDebug>
#include <QHostAddress>
#include <QSet>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <thread>
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
// grow without end; past this, checked before every packet, it counts as
// gone.
constexpr qint64 kMaxQueuedBytes = 1 << 20;
constexpr std::int64_t kNsPerMs = 1000 * 1000;

enum class Stage { Idle, Connecting, WaitVersion, WaitCount, WaitData, Enumerated };

// A packet waiting for its controller's next allowed update.
enum class Packet {
    DriveMode,   // takes the controller: the mode we drive it in
    OwnMode,     // gives it back: the mode it had
    Colour,      // every LED in the colour queued last
    OwnColours,  // the colours it had, for a per-LED mode
};

// What we keep of a selected controller: what showing a colour and giving
// the controller back need.
struct Target {
    std::uint32_t index = 0;
    std::string key;  // name, location and serial: the same controller in a new list
    std::size_t ledCount = 0;
    bool animated = false;  // driven through Direct; else a still colour per command
    int modeIndex = -1;     // the mode it is driven in, -1: switched by SETCUSTOMMODE
    orgb::Mode mode;
    int serverMode = -1;  // the active mode the server reported, or the one we set
    bool taken = false;   // our mode went out: what it had is to be given back
    // What it had when we took it.
    int ownModeIndex = -1;
    orgb::Mode ownMode;
    std::vector<orgb::Colour> ownColours;  // only for a per-LED mode
    std::vector<Packet> queue;             // at most a mode and colours
    orgb::Colour colour;                   // queued or last sent
    bool hasColour = false;
    light::UpdateWindow window;
};

std::int64_t nowMs()
{
    return light::steadyNowNs() / kNsPerMs;
}

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
    std::vector<Target> previous;  // the last list's, while a new one is read
    std::size_t enumeratedLeds = 0;

    QTimer deadline;  // the one awaited answer (or the connection)
    QTimer retry;
    SearchSchedule schedule;
    std::int64_t goodSinceNs = -1;  // when the connection's enumeration succeeded
    QSet<QString> logged;           // each line once, until a connection stays good
    bool loggedUnknownOwner = false;

    bool hasCommand = false;
    protocol::LightFields fields;
    std::int64_t commandStartNs = 0;
    bool effectStartPending = false;
    bool animating = false;
    light::Rgb frame;
    bool released = false;       // given back: the next show reads the controllers again
    bool refreshWanted = false;  // once what is queued has gone out
    light::SlotGrid grid;
    QTimer slot;
    bool commandWaits = false;  // the slot timer is aimed for it

    QString where() const { return QStringLiteral("%1:%2").arg(settings.host).arg(settings.port); }

    void connectNow();
    void onConnected();
    void onReadyRead();
    void onDeadline();
    bool handlePacket(const orgb::Header &header, const std::uint8_t *data);
    void enumerate(bool keepReady = false);
    void requestNextController();
    void addTarget(orgb::Controller &controller);
    void finishEnumeration();
    bool isSelected(const std::string &name) const;
    void setReady(bool on);

    bool send(const orgb::Bytes &bytes);
    bool sendPacket(Target &target, Packet packet);
    void queueColour(Target &target, const light::Rgb &colour);
    void showLast();
    void giveBack();
    void refresh();
    void runSlotSoon();
    void onSlotTimer();
    void runSlot(std::int64_t now);
    bool anyQueued() const;
    void sendAllowed(std::int64_t now);
    void flushAtExit();

    void logOnce(const QString &line);
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
        if (isSelected(controller->name))
            addTarget(*controller);
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

void OpenRgbClient::Private::enumerate(bool keepReady)
{
    // The controllers of the last list keep their updates' history, and
    // those we hold what they had before we took them.
    for (Target &target : targets)
        previous.push_back(std::move(target));
    targets.clear();
    enumeratedLeds = 0;
    animating = false;
    slot.stop();
    commandWaits = false;
    if (!keepReady)
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

void OpenRgbClient::Private::addTarget(orgb::Controller &controller)
{
    if (controller.leds.empty())
        return;
    const QString name = QString::fromStdString(controller.name);
    Target target;
    target.index = nextIndex;
    target.key = controller.name + '\n' + controller.location + '\n' + controller.serial;
    target.ledCount = controller.leds.size();
    const int direct = orgb::directModeIndex(controller);
    if (direct >= 0) {
        target.animated = true;
        target.modeIndex = direct;
    } else if (!selected.isEmpty()) {
        // Named by the user: a still colour, one update per command.
        target.modeIndex = orgb::perLedModeIndex(controller);
    } else {
        logOnce(QStringLiteral("The light server at %1: \"%2\" has no Direct mode that spares its memory; left alone")
                    .arg(where(), name));
        return;
    }
    if (enumeratedLeds + target.ledCount > OpenRgbClient::kMaxTotalLeds) {
        logOnce(QStringLiteral("The light server at %1: controllers past %2 LEDs in all skipped")
                    .arg(where())
                    .arg(OpenRgbClient::kMaxTotalLeds));
        return;
    }
    enumeratedLeds += target.ledCount;
    if (target.modeIndex >= 0)
        target.mode = controller.modes[std::size_t(target.modeIndex)];
    const std::size_t active = std::size_t(controller.activeMode);
    if (controller.activeMode >= 0 && active < controller.modes.size()) {
        target.serverMode = controller.activeMode;
        target.ownModeIndex = controller.activeMode;
        target.ownMode = std::move(controller.modes[active]);
        if (target.ownMode.colorMode == orgb::kColourModePerLed && controller.colors.size() == target.ledCount)
            target.ownColours = std::move(controller.colors);
    }
    targets.push_back(std::move(target));
}

void OpenRgbClient::Private::finishEnumeration()
{
    deadline.stop();
    stage = Stage::Enumerated;
    for (Target &target : targets) {
        const auto old =
            std::find_if(previous.begin(), previous.end(), [&target](const Target &t) { return t.key == target.key; });
        if (old == previous.end())
            continue;
        target.window = old->window;
        if (old->taken) {
            // Still ours: what it had before is what we took it from, not
            // the colours we set since.
            target.taken = true;
            target.ownModeIndex = old->ownModeIndex;
            target.ownMode = std::move(old->ownMode);
            target.ownColours = std::move(old->ownColours);
            target.colour = old->colour;
            target.hasColour = old->hasColour && target.serverMode == target.modeIndex;
        }
    }
    previous.clear();
    if (targets.empty()) {
        // Connected, but nothing of ours to light: wait for the server's list
        // to change.
        logOnce(QStringLiteral("The light server at %1 has no selected controller with LEDs").arg(where()));
        setReady(false);
        return;
    }
    if (goodSinceNs < 0)
        goodSinceNs = light::steadyNowNs();
    logOnce(QStringLiteral("The light server at %1: version %2, %3 controller(s) to light")
                .arg(where())
                .arg(version)
                .arg(targets.size()));
    // Shown before anyone hears of it, so a listener's own show() comes last.
    const bool wasReady = ready;
    ready = true;
    if (released)
        giveBack();
    else
        showLast();
    if (ready && !wasReady)
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

bool OpenRgbClient::Private::send(const orgb::Bytes &bytes)
{
    // A listener of readyChanged may have stopped us meanwhile.
    if (!socket)
        return false;
    if (socket->bytesToWrite() > kMaxQueuedBytes) {
        fail(QStringLiteral("The light server at %1 does not read what we send").arg(where()));
        return false;
    }
    socket->write(reinterpret_cast<const char *>(bytes.data()), qint64(bytes.size()));
    return true;
}

bool OpenRgbClient::Private::sendPacket(Target &target, Packet packet)
{
    switch (packet) {
    case Packet::DriveMode:
        target.taken = true;
        target.serverMode = target.modeIndex;
        return send(target.modeIndex >= 0 ? orgb::updateMode(target.index, target.modeIndex, target.mode, version)
                                          : orgb::setCustomMode(target.index));
    case Packet::OwnMode:
        target.serverMode = target.ownModeIndex;
        return send(orgb::updateMode(target.index, target.ownModeIndex, target.ownMode, version));
    case Packet::Colour:
        return send(orgb::updateLeds(target.index, std::vector<orgb::Colour>(target.ledCount, target.colour)));
    case Packet::OwnColours:
        return send(orgb::updateLeds(target.index, target.ownColours));
    }
    return true;
}

void OpenRgbClient::Private::queueColour(Target &target, const light::Rgb &colour)
{
    const orgb::Colour wire{colour.red, colour.green, colour.blue};
    if (target.hasColour && target.colour == wire)
        return;  // queued or shown already
    target.colour = wire;
    target.hasColour = true;
    if (std::find(target.queue.begin(), target.queue.end(), Packet::Colour) == target.queue.end())
        target.queue.push_back(Packet::Colour);
}

void OpenRgbClient::Private::showLast()
{
    animating = false;
    if (!ready || !hasCommand)
        return;
    // Each command (and a server that is new to us) begins at full colour.
    // A controller is put in its mode when we take it, and again only when
    // the server says another program changed it.
    // The effect's clock starts when that first frame goes out, which may
    // be at the next slot.
    effectStartPending = true;
    frame = light::frameColour(fields, 0);
    bool anyAnimated = false;
    for (Target &target : targets) {
        const bool modeOk = target.taken && (target.modeIndex < 0 || target.serverMode == target.modeIndex);
        if (!modeOk && std::find(target.queue.begin(), target.queue.end(), Packet::DriveMode) == target.queue.end())
            target.queue.insert(target.queue.begin(), Packet::DriveMode);
        // Every command is one update, even of the colour shown: another
        // program may have set the LEDs meanwhile.
        target.hasColour = false;
        queueColour(target, frame);
        anyAnimated = anyAnimated || target.animated;
    }
    animating = anyAnimated && light::isAnimated(fields.effect);
    runSlotSoon();
}

void OpenRgbClient::Private::giveBack()
{
    for (Target &target : targets) {
        // Our colours and modes waiting to go out go no more; what gives a
        // controller back (an earlier restore not yet out) stays.
        target.queue.erase(std::remove_if(target.queue.begin(), target.queue.end(),
                                          [](Packet p) { return p == Packet::Colour || p == Packet::DriveMode; }),
                           target.queue.end());
        target.hasColour = false;
        if (!target.taken)
            continue;
        target.taken = false;
        if (target.ownModeIndex >= 0)
            target.queue.push_back(Packet::OwnMode);
        if (!target.ownColours.empty())
            target.queue.push_back(Packet::OwnColours);
    }
    runSlotSoon();
}

void OpenRgbClient::Private::refresh()
{
    // What they have now is read again before we take them, once what we
    // gave back has gone out.
    if (anyQueued())
        refreshWanted = true;
    else
        enumerate(true);
}

void OpenRgbClient::Private::runSlotSoon()
{
    const std::int64_t now = light::steadyNowNs();
    if (grid.due(now)) {
        slot.stop();
        runSlot(now);
    } else if (!slot.isActive() || !commandWaits) {
        // A command now waits: the timer is aimed before the slot.
        commandWaits = true;
        slot.start(grid.timerMs(now, true));
    }
}

void OpenRgbClient::Private::onSlotTimer()
{
    const std::int64_t now = light::steadyNowNs();
    if (grid.due(now))
        runSlot(now);
    else  // aimed early for a waiting command: the next turn of the loop
        slot.start(0);
}

bool OpenRgbClient::Private::anyQueued() const
{
    return std::any_of(targets.begin(), targets.end(), [](const Target &t) { return !t.queue.empty(); });
}

void OpenRgbClient::Private::sendAllowed(std::int64_t now)
{
    // By index: a failed send drops the session and every target with it.
    for (std::size_t i = 0; socket && i < targets.size(); ++i) {
        Target &target = targets[i];
        while (socket && !target.queue.empty() && target.window.allows(now)) {
            const Packet packet = target.queue.front();
            target.queue.erase(target.queue.begin());
            target.window.record(now);
            sendPacket(target, packet);
        }
    }
}

void OpenRgbClient::Private::runSlot(std::int64_t now)
{
    grid.ran(now);
    commandWaits = false;
    if (animating && effectStartPending) {
        effectStartPending = false;
        commandStartNs = now;
    } else if (animating) {
        const light::Rgb colour = light::frameColour(fields, (now - commandStartNs) / kNsPerMs);
        if (colour != frame) {
            frame = colour;
            for (Target &target : targets) {
                if (target.animated)
                    queueColour(target, colour);
            }
        }
    }
    sendAllowed(now);
    if (!socket)
        return;
    const bool queued = anyQueued();
    if (!queued && refreshWanted) {
        refreshWanted = false;
        enumerate(true);
        return;
    }
    // Nothing to send and nothing moving: no timer at all.
    if (queued || animating)
        slot.start(grid.timerMs(light::steadyNowNs(), false));
}

void OpenRgbClient::Private::flushAtExit()
{
    // At most two packets per controller wait, each at most a slot.
    const std::int64_t until = light::steadyNowNs() + 3 * light::SlotGrid::kSlotNs;
    while (socket && stage == Stage::Enumerated && anyQueued()) {
        std::int64_t now = light::steadyNowNs();
        sendAllowed(now);
        if (!socket || !anyQueued() || now > until)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
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

void OpenRgbClient::Private::logOnce(const QString &line)
{
    if (logged.contains(line))
        return;
    logged.insert(line);
    qDebug().noquote() << line;
}

void OpenRgbClient::Private::fail(const QString &line)
{
    // Only a connection that stayed good for a while is tried again at
    // once, with the search begun anew and its failures logged anew; one
    // that fails soon after each success (a server that crashes on every
    // update) is tried on the schedule, and logged once.
    const std::int64_t now = nowMs();
    const bool wasStable = goodSinceNs >= 0 && now - goodSinceNs / kNsPerMs >= OpenRgbClient::kStableMs;
    goodSinceNs = -1;
    if (wasStable) {
        logged.clear();
        schedule.restart(now);
    }
    logOnce(line);
    dropSession();
    if (!started)
        return;
    retry.start(wasStable ? 0 : int(schedule.nextDelayMs(now)));
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
    slot.stop();
    commandWaits = false;
    animating = false;
    stage = Stage::Idle;
    buffer.clear();
    buffer.squeeze();
    targets.clear();
    previous.clear();
    staleAnswers = 0;
    released = false;
    refreshWanted = false;
    grid.reset();
    setReady(false);
}

OpenRgbClient::OpenRgbClient(const OpenRgbSettings &settings, QObject *parent)
    : QObject(parent), d(std::make_unique<Private>())
{
    d->q = this;
    d->settings = settings;
    d->schedule = SearchSchedule(settings.searchFastPhaseMs);
    for (const QString &name : settings.devices)
        d->selected.append(name.trimmed().toCaseFolded());
    d->deadline.setSingleShot(true);
    d->retry.setSingleShot(true);
    // Never early, so a server is tried at most once per interval.
    d->retry.setTimerType(Qt::PreciseTimer);
    d->slot.setSingleShot(true);
    d->slot.setTimerType(Qt::PreciseTimer);
    connect(&d->deadline, &QTimer::timeout, this, [this] { d->onDeadline(); });
    connect(&d->retry, &QTimer::timeout, this, [this] { d->connectNow(); });
    connect(&d->slot, &QTimer::timeout, this, [this] { d->onSlotTimer(); });
}

OpenRgbClient::~OpenRgbClient()
{
    d->flushAtExit();
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
    d->goodSinceNs = -1;
    d->schedule.restart(nowMs());
    d->connectNow();
}

void OpenRgbClient::stop()
{
    if (!d->started)
        return;
    // The controllers are no output's any more (the device service came):
    // their owner's lighting, as at the end.
    if (d->settings.atExit == AtExit::Restore && d->stage == Stage::Enumerated) {
        d->giveBack();
        d->flushAtExit();
    }
    d->started = false;
    d->retry.stop();
    d->dropSession();
}

void OpenRgbClient::searchAgain()
{
    if (!d->started)
        return;
    d->schedule.restart(nowMs());
    if (d->socket)
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
    if (d->released) {
        d->released = false;
        d->refresh();
        return true;
    }
    if (d->stage == Stage::Enumerated)
        d->showLast();
    return d->ready;
}

bool OpenRgbClient::showShutdown(const protocol::LightCommand &shutdownProfile)
{
    if (d->settings.atExit == AtExit::Profile)
        return show(shutdownProfile);
    d->hasCommand = false;
    d->animating = false;
    d->refreshWanted = false;
    d->released = true;
    if (!d->started || !d->ready)
        return false;
    if (d->stage == Stage::Enumerated)
        d->giveBack();
    return true;
}

void OpenRgbClient::forgetLastCommand()
{
    d->hasCommand = false;
    d->animating = false;
}
