#include "light_service.h"

#include "light_decode.h"
#include "names.h"

#include <QByteArray>
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QTimer>

#include <cstdio>

namespace lightservice {

namespace {

const char kLogOption[] = "log";
const char kAttachLParamOption[] = "attach-lparam";
const char kAttachDelayOption[] = "attach-delay";
const char kNoAttachOption[] = "no-attach";
const char kNoWindowOption[] = "no-window";
const char kTerminalOption[] = "terminal-view";
const char kStampsOption[] = "stamps";

}  // namespace

ParseResult parseServiceOptions(QCommandLineParser *parser, const QStringList &arguments, ServiceOptions *options,
                                QString *error)
{
    parser->setApplicationDescription(
        QStringLiteral("Stands in for the device service: answers the helper and shows its light commands."));
    parser->addHelpOption();
    parser->addOptions({
        {QLatin1String(kLogOption), QStringLiteral("Print each light command and each ATTACH on standard output.")},
        {QLatin1String(kAttachLParamOption),
         QStringLiteral("Answer DISCOVER with this lParam instead of 1 (the helper must refuse it)."),
         QStringLiteral("N")},
        {QLatin1String(kAttachDelayOption), QStringLiteral("Answer DISCOVER only after this many milliseconds."),
         QStringLiteral("MS")},
        {QLatin1String(kNoAttachOption), QStringLiteral("Never answer DISCOVER.")},
        {QLatin1String(kNoWindowOption), QStringLiteral("Show no LED view, even with a display.")},
        {QLatin1String(kTerminalOption),
         QStringLiteral("Show each command as a line in its colour on a 24-bit colour terminal.")},
        {QLatin1String(kStampsOption),
         QStringLiteral("Write each command with its arrival time on the steady clock to FILE (binary; for "
                        "benchmarks)."),
         QStringLiteral("FILE")},
    });

    if (!parser->parse(arguments)) {
        *error = parser->errorText();
        return ParseResult::Error;
    }
    if (parser->isSet(QStringLiteral("help")))
        return ParseResult::Help;
    if (!parser->positionalArguments().isEmpty()) {
        *error = QStringLiteral("Unexpected argument '%1'.").arg(parser->positionalArguments().constFirst());
        return ParseResult::Error;
    }

    ServiceOptions parsed;
    parsed.log = parser->isSet(QLatin1String(kLogOption));
    parsed.attach = !parser->isSet(QLatin1String(kNoAttachOption));
    parsed.window = !parser->isSet(QLatin1String(kNoWindowOption));
    parsed.terminalView = parser->isSet(QLatin1String(kTerminalOption));
    parsed.stampsPath = parser->value(QLatin1String(kStampsOption));
    if (parser->isSet(QLatin1String(kAttachLParamOption))) {
        const QString text = parser->value(QLatin1String(kAttachLParamOption));
        bool ok = false;
        parsed.attachLParam = text.toLongLong(&ok, 0);  // base 0: "0x10" works too
        if (!ok) {
            *error = QStringLiteral("--attach-lparam needs a number, not '%1'.").arg(text);
            return ParseResult::Error;
        }
    }
    if (parser->isSet(QLatin1String(kAttachDelayOption))) {
        const QString text = parser->value(QLatin1String(kAttachDelayOption));
        bool ok = false;
        parsed.attachDelayMs = text.toInt(&ok, 10);
        if (!ok || parsed.attachDelayMs < 0) {
            *error = QStringLiteral("--attach-delay needs milliseconds (0 or more), not '%1'.").arg(text);
            return ParseResult::Error;
        }
    }
    *options = parsed;
    return ParseResult::Ok;
}

LightService::LightService(const ServiceOptions &options, platform::Handle ownHandle, QObject *parent)
    : QObject(parent),
      m_options(options),
      m_ownHandle(ownHandle),
      m_discoverMsg(platform::registerMessage(protocol::kLightDiscoverMessage)),
      m_attachMsg(platform::registerMessage(protocol::kLightAttachMessage)),
      m_commandMsg(platform::registerMessage(protocol::kLightCommandMessage))
{
    m_clock.start();
    if (!m_options.stampsPath.isEmpty() && !m_stamps.open(m_options.stampsPath.toStdString()))
        std::fprintf(stderr, "lightservice: cannot open %s for stamps\n", qPrintable(m_options.stampsPath));
}

bool LightService::isReady() const
{
    return m_discoverMsg != 0 && m_attachMsg != 0 && m_commandMsg != 0
           && (m_options.stampsPath.isEmpty() || m_stamps.isOpen());
}

bool LightService::nativeEventFilter(const QByteArray &eventType, void *message, long *result)
{
    Q_UNUSED(result);
    platform::Message native;
    // Only what is addressed to our message window: a broadcast also reaches
    // every other top-level window Qt keeps, and is answered once.
    if (!platform::readNativeMessage(eventType.constData(), message, &native) || native.window != m_ownHandle)
        return false;
    if (native.id == m_discoverMsg)
        onDiscover(native.wParam);
    else if (native.id == m_commandMsg)
        onCommand(native.wParam, native.lParam);
    return false;
}

void LightService::onDiscover(platform::Handle helper)
{
    if (!m_options.attach)
        return;
    // Answering "nobody" or everybody would only confuse other listeners.
    if (helper == 0 || helper == platform::kBroadcast) {
        std::fprintf(stderr, "lightservice: DISCOVER without a handle to answer (0x%llx)\n",
                     static_cast<unsigned long long>(helper));
        return;
    }
    if (m_options.attachDelayMs > 0)
        QTimer::singleShot(m_options.attachDelayMs, this, [this, helper] { sendAttach(helper); });
    else
        sendAttach(helper);
}

void LightService::sendAttach(platform::Handle helper)
{
    if (!platform::postMessage(helper, m_attachMsg, m_ownHandle, m_options.attachLParam)) {
        std::fprintf(stderr, "lightservice: ATTACH to 0x%llx failed\n", static_cast<unsigned long long>(helper));
        return;
    }
    if (m_options.log)
        writeLog(formatAttachLine(helper));
    emit attachSent(helper);
}

void LightService::onCommand(std::uint64_t wParam, std::int64_t lParam)
{
    m_stamps.write(wParam, lParam);  // first, so the stamp is the arrival time
    if (m_options.log)
        writeLog(formatCommandLine(m_clock.elapsed(), wParam, lParam));
    if (m_options.terminalView)
        writeLog(formatTerminalLine(wParam, lParam));
    emit commandReceived(wParam, lParam);
}

void LightService::writeLog(const std::string &line) const
{
    // Whoever reads the pipe waits on each line, so it must not sit in a buffer.
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

}  // namespace lightservice
