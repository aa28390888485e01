#include "command_words.h"

#include <algorithm>

namespace protocol {

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

std::optional<CommandWord> commandWordFromText(std::u16string_view text)
{
    for (const CommandWord word : kCommandWords) {
        const std::string_view ascii = commandWordText(word);
        if (std::equal(text.begin(), text.end(), ascii.begin(), ascii.end(),
                       [](char16_t unit, char c) { return unit == static_cast<unsigned char>(c); }))
            return word;
    }
    return std::nullopt;
}

bool isTalkWord(CommandWord word)
{
    return word != CommandWord::Shutdown && word != CommandWord::Wnd;
}

}  // namespace protocol
