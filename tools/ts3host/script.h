// The session script ts3host plays: one command per line.
//
//   talk own <status>        talk status of the own client, current connection
//   talk <clientId> <status> talk status of another client
//   connection <id>          the current server connection (1 at the start)
//   own <clientId>           the own client's id on the current connection
//   clientid-error <code>    getClientID on the current connection fails with
//                            <code> from now on; 0 makes it succeed again
//   menu <itemId> [<type>]   a click on a menu item (type 0 global, 1 channel,
//                            2 client; default 0)
//   status <status>          connection status of the current connection
//                            (0 disconnected ... 4 established); also what
//                            getConnectionStatus answers from now on
//   self <flag> <value>      a property of the own client on the current
//                            connection changes (5 microphone muted, 6 sound
//                            muted, 38 away, ...); also what
//                            getClientSelfVariableAsInt answers from now on
//   tab <id>                 the client shows the tab of connection <id>
//                            (1 at the start); events stay on the current one
//   hotkey <keyword>         the user presses the plugin's hotkey <keyword>
//   move <clientId>|own [<visibility>]
//                            a client moved to another channel (visibility 0
//                            entered view, 1 stayed, 2 left it; default 1)
//   kick <clientId>|own      a client kicked from the server
//   sleep <ms>
//   shutdown                 unloads the plugin; nothing after it runs
//   echo <text>              prints the text, for narrated demos
//
// Blank lines and lines starting with '#' are skipped.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ts3host {

struct Command {
    enum class Kind {
        TalkOwn,
        Talk,
        Connection,
        Own,
        ClientIdError,
        Menu,
        Status,
        Move,
        Kick,
        Self,
        Tab,
        Hotkey,
        Sleep,
        Shutdown,
        Echo
    };

    Kind kind = Kind::Shutdown;
    std::uint16_t clientId = 0;    // Talk, Own, Move, Kick
    bool own = false;              // Move, Kick: the own client, whatever its id
    int status = 0;                // TalkOwn, Talk, Status
    int visibility = 1;            // Move
    std::uint64_t connection = 0;  // Connection, Tab
    int flag = 0;                  // Self
    int value = 0;                 // Self
    unsigned int errorCode = 0;    // ClientIdError
    int menuItemId = 0;            // Menu
    int menuType = 0;              // Menu
    unsigned int sleepMs = 0;      // Sleep
    std::string text;              // Echo, Hotkey

    bool operator==(const Command &other) const;
    bool operator!=(const Command &other) const { return !(*this == other); }
};

// One line: a command, nothing (blank or comment), or why it is malformed.
struct ParsedLine {
    std::optional<Command> command;
    std::string error;
};
ParsedLine parseLine(std::string_view line);

// A whole script. On the first malformed line, commands is empty and
// errorLine (1-based) and error say what is wrong.
struct Script {
    std::vector<Command> commands;
    int errorLine = 0;
    std::string error;
    bool ok() const { return error.empty(); }
};
Script parseScript(std::string_view text);

}  // namespace ts3host
