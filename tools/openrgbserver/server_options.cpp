#include "server_options.h"

#include <QCommandLineParser>
#include <QMap>

namespace openrgbserver {

namespace {

using protocol::openrgb::Colour;
using protocol::openrgb::Controller;
using protocol::openrgb::Mode;
using protocol::openrgb::Zone;

// Past this many LEDs a controller's LEDs have no names.
constexpr uint kNamedLeds = 1000;

Mode makeMode(const QString &name, std::int32_t value, bool perLed)
{
    Mode mode;
    mode.name = name.toStdString();
    mode.value = value;
    mode.flags = perLed ? protocol::openrgb::kModeHasPerLedColour : 0;
    // Per-LED modes take colours from UPDATELEDS; the effect has a speed
    // of its own.
    mode.speedMin = perLed ? 0 : 1;
    mode.speedMax = perLed ? 0 : 10;
    mode.brightnessMax = 100;
    mode.brightness = 100;
    mode.speed = perLed ? 0 : 5;
    mode.colorMode = perLed ? 1 : 0;
    return mode;
}

// One zone for a few LEDs, else the first two thirds as a matrix row and the
// rest as a line, so the readers meet both kinds.
std::vector<Zone> makeZones(std::uint32_t leds)
{
    const auto zone = [](const char *name, std::int32_t type, std::uint32_t start, std::uint32_t count) {
        Zone z;
        z.name = name;
        z.type = type;
        z.ledsMin = z.ledsMax = z.ledsCount = count;
        z.segments.push_back({std::string(name) + " segment", 0, start, count});
        return z;
    };
    if (leds < 6)
        return {zone("Main", 1, 0, leds)};
    const std::uint32_t first = leds * 2 / 3;
    Zone keys = zone("Keys", 2, 0, first);
    keys.matrixHeight = 1;
    keys.matrixWidth = first;
    for (std::uint32_t i = 0; i < first; ++i)
        keys.matrix.push_back(i);
    return {keys, zone("Edge", 1, first, leds - first)};
}

// "#rrggbb"
std::optional<Colour> colourOf(const QString &text)
{
    bool hex = false;
    const uint rgb = text.mid(1).toUInt(&hex, 16);
    if (!text.startsWith(QLatin1Char('#')) || text.size() != 7 || !hex)
        return std::nullopt;
    return Colour{std::uint8_t(rgb >> 16), std::uint8_t(rgb >> 8), std::uint8_t(rgb)};
}

}  // namespace

std::optional<Controllers> parseControllers(const QString &text, QString *error)
{
    Controllers controllers;
    for (const QString &entry : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QStringList fields = entry.split(QLatin1Char(':'));
        bool number = false;
        const uint leds = fields.value(1).toUInt(&number);
        bool autosave = false;
        std::optional<Colour> startColour;
        bool optionsOk = true;
        for (const QString &option : fields.mid(3)) {
            if (option == QLatin1String("autosave"))
                autosave = true;
            else if (const std::optional<Colour> colour = colourOf(option))
                startColour = colour;
            else
                optionsOk = false;
        }
        if (fields.size() < 3 || fields.at(0).isEmpty() || !number || leds == 0 || leds > 65535
            || fields.at(2).isEmpty() || !optionsOk) {
            *error =
                QStringLiteral("a controller is Name:LEDs:Mode[:autosave][:#rrggbb] with 1 to 65535 LEDs, not \"%1\"")
                    .arg(entry);
            return std::nullopt;
        }
        Controller c;
        c.type = int(controllers.size()) % 8;
        c.name = fields.at(0).toStdString();
        c.vendor = "Stand-in";
        c.description = "A made-up controller of the stand-in server";
        c.version = "1.0";
        c.serial = "SN" + std::to_string(controllers.size() + 1);
        c.location = "stand-in:" + std::to_string(controllers.size());
        c.modes = {makeMode(fields.at(2), 0, true), makeMode(QStringLiteral("Rainbow"), 1, false)};
        if (autosave)
            c.modes[0].flags |= protocol::openrgb::kModeAutomaticSave;
        c.activeMode = startColour ? 0 : 1;
        c.zones = makeZones(leds);
        c.leds.resize(leds);
        for (uint i = 0; i < leds; ++i)
            c.leds[i] = {leds <= kNamedLeds ? "LED " + std::to_string(i + 1) : std::string(), i};
        c.colors.assign(leds, startColour.value_or(Colour{0x20, 0x20, 0x20}));
        controllers.push_back(std::move(c));
    }
    if (controllers.empty())
        *error = QStringLiteral("no controller in \"%1\"").arg(text);
    return controllers.empty() ? std::nullopt : std::optional<Controllers>(std::move(controllers));
}

QString defaultControllersText()
{
    return QStringLiteral("Desk strip:12:Direct,Keyboard:21:Custom,Mouse:2:Static");
}

QString runLengthColours(const std::vector<Colour> &colours)
{
    QStringList runs;
    for (std::size_t i = 0; i < colours.size();) {
        std::size_t end = i;
        while (end < colours.size() && colours[end] == colours[i])
            ++end;
        runs << QStringLiteral("#%1%2%3x%4")
                    .arg(colours[i].red, 2, 16, QLatin1Char('0'))
                    .arg(colours[i].green, 2, 16, QLatin1Char('0'))
                    .arg(colours[i].blue, 2, 16, QLatin1Char('0'))
                    .arg(end - i);
        i = end;
    }
    return runs.join(QLatin1Char(','));
}

ParseResult parseServerOptions(QCommandLineParser *parser, const QStringList &arguments, ServerOptions *options,
                               QString *error)
{
    parser->setApplicationDescription(QStringLiteral("A stand-in lighting server for the helper's TCP client."));
    const QCommandLineOption help = parser->addHelpOption();
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("The port; 0 takes any free one."),
                                  QStringLiteral("N"), QString::number(protocol::openrgb::kDefaultPort));
    const QCommandLineOption version(QStringLiteral("protocol"), QStringLiteral("The highest version spoken, 0 to 4."),
                                     QStringLiteral("V"), QString::number(protocol::openrgb::kClientVersion));
    const QCommandLineOption controllers(QStringLiteral("controllers"),
                                         QStringLiteral("The controllers, \"Name:LEDs:Mode,...\"."),
                                         QStringLiteral("list"), defaultControllersText());
    const QCommandLineOption then(QStringLiteral("then-controllers"),
                                  QStringLiteral("The controllers switched to on SIGUSR1."), QStringLiteral("list"));
    const QCommandLineOption log(QStringLiteral("log"), QStringLiteral("Where the events go (standard output)."),
                                 QStringLiteral("file"));
    const QCommandLineOption stampsFile(QStringLiteral("stamps"),
                                        QStringLiteral("Writes an arrival stamp per LED update to this file or FIFO."),
                                        QStringLiteral("path"));
    const QCommandLineOption copies(QStringLiteral("copies"),
                                    QStringLiteral("Serves the last controller this many times (sharing its state)."),
                                    QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption window(QStringLiteral("window"), QStringLiteral("Draws every controller's LEDs."));
    const QCommandLineOption fault(QStringLiteral("fault"),
                                   QStringLiteral("Misbehaves: garbage, magic, oversize, silent, cut, drop or stall."),
                                   QStringLiteral("kind"));
    parser->addOptions({port, version, controllers, then, copies, log, stampsFile, window, fault});
    if (!parser->parse(arguments)) {
        *error = parser->errorText();
        return ParseResult::Error;
    }
    if (parser->isSet(help))
        return ParseResult::Help;

    bool number = false;
    const uint portValue = parser->value(port).toUInt(&number);
    if (!number || portValue > 65535) {
        *error = QStringLiteral("--port takes 0 to 65535");
        return ParseResult::Error;
    }
    options->port = quint16(portValue);
    options->protocolVersion = parser->value(version).toUInt(&number);
    if (!number || options->protocolVersion > protocol::openrgb::kClientVersion) {
        *error = QStringLiteral("--protocol takes 0 to %1").arg(protocol::openrgb::kClientVersion);
        return ParseResult::Error;
    }
    std::optional<Controllers> parsed = parseControllers(parser->value(controllers), error);
    if (!parsed)
        return ParseResult::Error;
    options->controllers = std::move(*parsed);
    if (parser->isSet(then)) {
        parsed = parseControllers(parser->value(then), error);
        if (!parsed)
            return ParseResult::Error;
        options->thenControllers = std::move(*parsed);
    }
    options->copies = parser->value(copies).toUInt(&number);
    if (!number || options->copies == 0 || options->copies > 4096) {
        *error = QStringLiteral("--copies takes 1 to 4096");
        return ParseResult::Error;
    }
    options->logPath = parser->value(log);
    options->stampsPath = parser->value(stampsFile);
    options->window = parser->isSet(window);
    static const QMap<QString, Fault> faults{
        {QStringLiteral("garbage"), Fault::Garbage},   {QStringLiteral("magic"), Fault::Magic},
        {QStringLiteral("oversize"), Fault::Oversize}, {QStringLiteral("silent"), Fault::Silent},
        {QStringLiteral("cut"), Fault::Cut},           {QStringLiteral("drop"), Fault::Drop},
        {QStringLiteral("stall"), Fault::Stall}};
    if (parser->isSet(fault)) {
        if (!faults.contains(parser->value(fault))) {
            *error = QStringLiteral("--fault takes garbage, magic, oversize, silent, cut, drop or stall");
            return ParseResult::Error;
        }
        options->fault = faults.value(parser->value(fault));
    }
    return ParseResult::Ok;
}

}  // namespace openrgbserver
