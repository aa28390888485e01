#include "command_word.h"

const char *commandWordText(CommandWord word)
{
    switch (word) {
    case CommandWord::Start:
        return "start";
    case CommandWord::Stop:
        return "stop";
    case CommandWord::Mute:
        return "mute";
    case CommandWord::StartOther:
        return "startother";
    case CommandWord::Shutdown:
        return "shutdown";
    case CommandWord::Wnd:
        return "wnd";
    }
    return "";
}

bool isTalkWord(CommandWord word)
{
    return word != CommandWord::Shutdown && word != CommandWord::Wnd;
}

void appendWordFrame(std::string *out, std::string_view text)
{
    const std::uint32_t bytes = static_cast<std::uint32_t>(text.size() * 2);
    for (int shift = 24; shift >= 0; shift -= 8)
        out->push_back(static_cast<char>(bytes >> shift));
    for (const char c : text) {
        out->push_back('\0');  // Latin-1 is the first 256 code points of UTF-16
        out->push_back(c);
    }
}
