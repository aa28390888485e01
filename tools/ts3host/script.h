// The session script ts3host plays: one command per line.
//
//   talk own <status>        talk status of the own client, current connection
//   talk <clientId> <status> [whisper]
//                            talk status of another client; "whisper": its
//                            voice reaches the user as a whisper
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
//   channel <channelId>      the own client is in channel <channelId> on the
//                            current connection: what getChannelOfClient
//                            answers for it from now on (every client is in
//                            channel 1 until moved); no event, so a plugin
//                            that asked already learns it only by asking again
//   move <clientId>|own [<visibility>] [to <channelId>]
//                            a client moved from the channel the host last
//                            had it in (1 at first) to <channelId> (default
//                            2); visibility 0 entered view, 1 stayed, 2 left
//                            it; default 1
//   kick <clientId>|own      a client kicked from the server
//   subscribe <clientId> [<channelId>]
//                            a client comes into view in <channelId> (default
//                            the own client's) because the user subscribed
//   poke <clientId>|own [ignored]
//                            a client pokes the user; "ignored": the user's
//                            friend/foe settings block it
//   message <targetMode> <clientId>|own [ignored]
//                            a text message from a client (target mode 1
//                            private, 2 channel, 3 server)
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
        Channel,
        Subscribe,
        Poke,
        Message,
        Sleep,
        Shutdown,
        Echo
    };

    Kind kind = Kind::Shutdown;
    std::uint16_t clientId = 0;    // Talk, Own, Move, Kick, Subscribe, Poke, Message
    bool own = false;              // Move, Kick, Poke, Message: the own client, whatever its id
    int status = 0;                // TalkOwn, Talk, Status
    bool whisper = false;          // TalkOwn, Talk
    int visibility = 1;            // Move
    std::uint64_t channel = 0;     // Channel; Move, Subscribe when channelGiven
    bool channelGiven = false;     // Move, Subscribe
    bool ignored = false;          // Poke, Message
    int targetMode = 0;            // Message
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
