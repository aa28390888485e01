// What the stand-in lighting server is told on its command line, and the
// made-up controllers it shows.
#pragma once

#include "openrgb_protocol.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

class QCommandLineParser;

namespace openrgbserver {

using Controllers = std::vector<protocol::openrgb::Controller>;

// How a server misbehaves towards every client it accepts.
enum class Fault {
    None,
    Garbage,   // random bytes
    Magic,     // a header with a wrong magic
    Oversize,  // a header announcing a 2 GiB packet, then its data forever
    Silent,    // reads everything, answers nothing
    Cut,       // half of the first controller block, then closes
    Drop,      // closes the connection at the first LED update (a server that crashes)
    Stall,     // stops reading at the first LED update
};

struct ServerOptions {
    quint16 port = protocol::openrgb::kDefaultPort;
    std::uint32_t protocolVersion = protocol::openrgb::kClientVersion;
    Controllers controllers;
    Controllers thenControllers;  // switched to on SIGUSR1; empty = no switch
    std::uint32_t copies = 1;     // the last controller is served this many times
    QString logPath;              // empty: standard output
    QString stampsPath;
    bool window = false;
    Fault fault = Fault::None;
};

enum class ParseResult { Ok, Help, Error };

ParseResult parseServerOptions(QCommandLineParser *parser, const QStringList &arguments, ServerOptions *options,
                               QString *error);

// "Name:LEDs:Mode[:Option...],..." — each controller with its per-LED mode
// named Mode and an active "Rainbow" mode. Options: "autosave" (the
// per-LED mode stores every update), "#rrggbb" (it starts in its per-LED
// mode, every LED in that colour). Up to 65535 LEDs; past 1000 the LEDs
// have no names, so the block stays under the 1 MiB a packet may hold.
// nullopt with `error` set when a part is malformed.
std::optional<Controllers> parseControllers(const QString &text, QString *error);
// A desk strip, a keyboard and a mouse: different LED counts and per-LED
// mode names.
QString defaultControllersText();

// The colours as runs, "#rrggbbxN,...", the way the log shows them.
QString runLengthColours(const std::vector<protocol::openrgb::Colour> &colours);

}  // namespace openrgbserver
