// The stand-in device service: answers the helper's DISCOVER with ATTACH and
// takes its light commands, logging each one when asked to.
#pragma once

#include "names.h"
#include "stamp_record.h"
#include "window_messages.h"

#include <QAbstractNativeEventFilter>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <string>

class QCommandLineParser;

namespace lightservice {

struct ServiceOptions {
    bool log = false;                                     // one stdout line per command and per ATTACH
    bool terminalView = false;                            // show each command as a coloured line for people
    std::int64_t attachLParam = protocol::kAttachLParam;  // anything else the helper must refuse
    int attachDelayMs = 0;                                // answer DISCOVER this late
    bool attach = true;                                   // false: never answer DISCOVER
    bool window = true;                                   // false: no LED view even with a display
    QString stampsPath;                                   // non-empty: arrival stamps of commands go there
};

enum class ParseResult { Ok, Help, Error };

// Reads `arguments` (program name first) into `options`. On Error, `error`
// says why. `parser` keeps the option descriptions for showing help.
ParseResult parseServiceOptions(QCommandLineParser *parser, const QStringList &arguments, ServiceOptions *options,
                                QString *error);

class LightService : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT

public:
    // `ownHandle` is the endpoint that DISCOVER is answered with.
    LightService(const ServiceOptions &options, platform::Handle ownHandle, QObject *parent = nullptr);

    // False when the message names could not be registered.
    bool isReady() const;

    // Milliseconds since the service started, as printed in the log.
    qint64 elapsedMs() const { return m_clock.elapsed(); }

    // Takes DISCOVER and light commands; always false so other filters
    // still see every message.
    bool nativeEventFilter(const QByteArray &eventType, void *message, long *result) override;

signals:
    void commandReceived(quint64 wParam, qint64 lParam);
    void attachSent(quint64 helperHandle);

private:
    void onDiscover(platform::Handle helper);
    void sendAttach(platform::Handle helper);
    void onCommand(std::uint64_t wParam, std::int64_t lParam);
    void writeLog(const std::string &line) const;

    const ServiceOptions m_options;
    const platform::Handle m_ownHandle;
    std::uint32_t m_discoverMsg = 0;
    std::uint32_t m_attachMsg = 0;
    std::uint32_t m_commandMsg = 0;
    QElapsedTimer m_clock;
    stamps::StampWriter m_stamps;
};

}  // namespace lightservice
