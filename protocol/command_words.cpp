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
    case CommandWord::MicMuted:
        return "micmuted";
    case CommandWord::MicUnmuted:
        return "micunmuted";
    case CommandWord::SoundMuted:
        return "soundmuted";
    case CommandWord::SoundUnmuted:
        return "soundunmuted";
    case CommandWord::Away:
        return "away";
    case CommandWord::Back:
        return "back";
    case CommandWord::Offline:
        return "offline";
    case CommandWord::Online:
        return "online";
    case CommandWord::LightsOff:
        return "lightsoff";
    case CommandWord::LightsOn:
        return "lightson";
    case CommandWord::Poke:
        return "poke";
    case CommandWord::Message:
        return "message";
    case CommandWord::Whisper:
        return "whisper";
    case CommandWord::WhisperEnd:
        return "whisperend";
    case CommandWord::Join:
        return "join";
    case CommandWord::Dismiss:
        return "dismiss";
    case CommandWord::Quit:
        return "quit";
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
    switch (word) {
    case CommandWord::Start:
    case CommandWord::Stop:
    case CommandWord::Mute:
    case CommandWord::StartOther:
        return true;
    default:
        return false;
    }
}

bool isRequestWord(CommandWord word)
{
    return word == CommandWord::Wnd || word == CommandWord::Quit;
}

}  // namespace protocol
