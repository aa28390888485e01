// The words the plugin sends the helper, one to a frame (command_frame.h).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace protocol {

enum class CommandWord : std::uint8_t {
    Start,       // the user speaks
    Stop,        // nobody speaks
    Mute,        // the user speaks while muted
    StartOther,  // others speak, the user does not
    Shutdown,    // the client ends
    Wnd,         // open the settings window
    // Facts of the own client beside its talk, each sent when it changes;
    // the helper shows those the user enabled.
    MicMuted,  // the microphone (input) is muted
    MicUnmuted,
    SoundMuted,  // the sound (output) is muted
    SoundUnmuted,
    Away,  // the user is marked away
    Back,
    Offline,  // no server connection of the client is established
    Online,
    // The user's toggle in the sending client: the helper shows the shutdown
    // profile and posts nothing more while any client has it off.
    LightsOff,
    LightsOn,
    // Attention signals. A whisper to the user lasts until "whisperend"
    // (no one whispers to the user on any connection); the others are
    // events the helper shows for a while.
    Poke,        // someone else pokes the user
    Message,     // a private message from someone else
    Whisper,     // someone whispers to the user
    WhisperEnd,  // no one does any more
    Join,        // another client enters the user's channel
    Dismiss,     // the user's hotkey: end the timed signals now
    // Requests of a program that is no client (the helper's own --quit):
    // they never make their sender one.
    Quit,  // end the helper as its last client's shutdown would
};

// Every word, in the order of the enum.
constexpr CommandWord kCommandWords[] = {
    CommandWord::Start,      CommandWord::Stop,         CommandWord::Mute,      CommandWord::StartOther,
    CommandWord::Shutdown,   CommandWord::Wnd,          CommandWord::MicMuted,  CommandWord::MicUnmuted,
    CommandWord::SoundMuted, CommandWord::SoundUnmuted, CommandWord::Away,      CommandWord::Back,
    CommandWord::Offline,    CommandWord::Online,       CommandWord::LightsOff, CommandWord::LightsOn,
    CommandWord::Poke,       CommandWord::Message,      CommandWord::Whisper,   CommandWord::WhisperEnd,
    CommandWord::Join,       CommandWord::Dismiss,      CommandWord::Quit};

// A word that asks the helper something instead of telling a client's state
// ("wnd", "quit"): the sender does not become a client by it.
bool isRequestWord(CommandWord word);

// The word's text on the wire: lowercase ASCII.
const char *commandWordText(CommandWord word);

// The word whose text (UTF-16, as it arrives) this is, exactly; nothing
// for any other text.
std::optional<CommandWord> commandWordFromText(std::u16string_view text);

// A word that tells the voice state; only the newest of them matters.
bool isTalkWord(CommandWord word);

}  // namespace protocol
