#include "script.h"

#include <charconv>
#include <limits>

namespace ts3host {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// Splits off the first word; the rest keeps its inner spacing for echo.
std::string_view nextWord(std::string_view *text)
{
    *text = trimmed(*text);
    size_t end = 0;
    while (end < text->size() && !isBlank((*text)[end]))
        ++end;
    const std::string_view word = text->substr(0, end);
    *text = trimmed(text->substr(end));
    return word;
}

std::vector<std::string_view> words(std::string_view text)
{
    std::vector<std::string_view> result;
    while (!(text = trimmed(text)).empty())
        result.push_back(nextWord(&text));
    return result;
}

// The whole word must be a number in range: "12abc" or "-1" for an id are
// typing mistakes, not something to guess at.
template <typename T>
bool toNumber(std::string_view word, T *value, T min = std::numeric_limits<T>::min(),
              T max = std::numeric_limits<T>::max())
{
    T parsed{};
    const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), parsed);
    if (ec != std::errc() || end != word.data() + word.size() || parsed < min || parsed > max)
        return false;
    *value = parsed;
    return true;
}

ParsedLine fail(std::string message)
{
    ParsedLine result;
    result.error = std::move(message);
    return result;
}

ParsedLine done(const Command &command)
{
    ParsedLine result;
    result.command = command;
    return result;
}

}  // namespace

bool Command::operator==(const Command &other) const
{
    return kind == other.kind && clientId == other.clientId && own == other.own && status == other.status
           && whisper == other.whisper && visibility == other.visibility && channel == other.channel
           && channelGiven == other.channelGiven && ignored == other.ignored && targetMode == other.targetMode
           && connection == other.connection && errorCode == other.errorCode && flag == other.flag
           && value == other.value && menuItemId == other.menuItemId && menuType == other.menuType
           && sleepMs == other.sleepMs && text == other.text;
}

ParsedLine parseLine(std::string_view line)
{
    line = trimmed(line);
    if (line.empty() || line.front() == '#')
        return {};
    std::string_view rest = line;
    const std::string_view name = nextWord(&rest);
    Command command;
    if (name == "echo") {
        command.kind = Command::Kind::Echo;
        command.text = std::string(rest);
        return done(command);
    }

    const std::vector<std::string_view> args = words(rest);
    if (name == "talk") {
        command.whisper = args.size() == 3 && args[2] == "whisper";
        if (args.size() != 2 && !command.whisper)
            return fail("talk takes a client id or 'own', a status, and optionally 'whisper'");
        if (args[0] == "own") {
            command.kind = Command::Kind::TalkOwn;
        } else {
            command.kind = Command::Kind::Talk;
            if (!toNumber(args[0], &command.clientId))
                return fail("talk: the client id must be 'own' or a number from 0 to 65535");
        }
        if (!toNumber(args[1], &command.status))
            return fail("talk: the status must be an integer");
        return done(command);
    }
    if (name == "connection") {
        command.kind = Command::Kind::Connection;
        if (args.size() != 1 || !toNumber(args[0], &command.connection))
            return fail("connection takes one connection id (a non-negative integer)");
        return done(command);
    }
    if (name == "own") {
        command.kind = Command::Kind::Own;
        if (args.size() != 1 || !toNumber(args[0], &command.clientId))
            return fail("own takes one client id from 0 to 65535");
        return done(command);
    }
    if (name == "clientid-error") {
        command.kind = Command::Kind::ClientIdError;
        if (args.size() != 1 || !toNumber(args[0], &command.errorCode))
            return fail("clientid-error takes one error code (a non-negative integer, 0 for success)");
        return done(command);
    }
    if (name == "menu") {
        command.kind = Command::Kind::Menu;
        if (args.empty() || args.size() > 2 || !toNumber(args[0], &command.menuItemId)
            || (args.size() == 2 && !toNumber(args[1], &command.menuType, 0, 2)))
            return fail("menu takes a menu item id and optionally a type (0 global, 1 channel, 2 client)");
        return done(command);
    }
    if (name == "status") {
        command.kind = Command::Kind::Status;
        if (args.size() != 1 || !toNumber(args[0], &command.status))
            return fail("status takes one connection status (an integer)");
        return done(command);
    }
    if (name == "move") {
        command.kind = Command::Kind::Move;
        command.own = !args.empty() && args[0] == "own";
        size_t next = 1;
        bool ok = !args.empty() && (command.own || toNumber(args[0], &command.clientId));
        if (ok && next < args.size() && args[next] != "to")
            ok = toNumber(args[next++], &command.visibility, 0, 2);
        if (ok && next < args.size()) {
            command.channelGiven = true;
            ok = args[next] == "to" && next + 2 == args.size() && toNumber(args[next + 1], &command.channel);
        }
        if (!ok)
            return fail("move takes a client id or 'own', optionally a visibility (0, 1 or 2), and optionally "
                        "'to' and a channel id");
        return done(command);
    }
    if (name == "kick") {
        command.kind = Command::Kind::Kick;
        command.own = !args.empty() && args[0] == "own";
        if (args.size() != 1 || (!command.own && !toNumber(args[0], &command.clientId)))
            return fail("kick takes a client id or 'own'");
        return done(command);
    }
    if (name == "channel") {
        command.kind = Command::Kind::Channel;
        if (args.size() != 1 || !toNumber(args[0], &command.channel))
            return fail("channel takes one channel id (a non-negative integer)");
        return done(command);
    }
    if (name == "subscribe") {
        command.kind = Command::Kind::Subscribe;
        command.channelGiven = args.size() == 2;
        if (args.empty() || args.size() > 2 || !toNumber(args[0], &command.clientId)
            || (command.channelGiven && !toNumber(args[1], &command.channel)))
            return fail("subscribe takes a client id and optionally a channel id");
        return done(command);
    }
    if (name == "poke" || name == "message") {
        const bool poke = name == "poke";
        command.kind = poke ? Command::Kind::Poke : Command::Kind::Message;
        const size_t sender = poke ? 0 : 1;
        command.own = args.size() > sender && args[sender] == "own";
        command.ignored = args.size() == sender + 2 && args[sender + 1] == "ignored";
        if (args.size() != sender + (command.ignored ? 2u : 1u)
            || (!poke && !toNumber(args[0], &command.targetMode, 0, 65535))
            || (!command.own && !toNumber(args[sender], &command.clientId)))
            return fail(poke ? "poke takes a client id or 'own', and optionally 'ignored'"
                             : "message takes a target mode (1 private, 2 channel, 3 server), a client id or "
                               "'own', and optionally 'ignored'");
        return done(command);
    }
    if (name == "self") {
        command.kind = Command::Kind::Self;
        if (args.size() != 2 || !toNumber(args[0], &command.flag, 0) || !toNumber(args[1], &command.value))
            return fail("self takes a property number and its new value (integers)");
        return done(command);
    }
    if (name == "tab") {
        command.kind = Command::Kind::Tab;
        if (args.size() != 1 || !toNumber(args[0], &command.connection))
            return fail("tab takes one connection id (a non-negative integer)");
        return done(command);
    }
    if (name == "hotkey") {
        command.kind = Command::Kind::Hotkey;
        if (args.size() != 1)
            return fail("hotkey takes one keyword");
        command.text = std::string(args[0]);
        return done(command);
    }
    if (name == "sleep") {
        command.kind = Command::Kind::Sleep;
        if (args.size() != 1 || !toNumber(args[0], &command.sleepMs))
            return fail("sleep takes one number of milliseconds");
        return done(command);
    }
    if (name == "shutdown") {
        command.kind = Command::Kind::Shutdown;
        if (!args.empty())
            return fail("shutdown takes no arguments");
        return done(command);
    }
    return fail("unknown command \"" + std::string(name) + "\"");
}

Script parseScript(std::string_view text)
{
    Script script;
    int lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ParsedLine parsed = parseLine(line);
        if (!parsed.error.empty()) {
            script.commands.clear();
            script.errorLine = lineNumber;
            script.error = std::move(parsed.error);
            return script;
        }
        if (parsed.command)
            script.commands.push_back(std::move(*parsed.command));
    }
    return script;
}

}  // namespace ts3host
