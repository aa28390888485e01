// The words the plugin sends the helper, and their bytes on the wire: what
// the helper's Qt reads as one QString from a QDataStream of version 7
// (a 4-byte big-endian byte length, then UTF-16 big-endian code units).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

enum class CommandWord : std::uint8_t { Start, Stop, Mute, StartOther, Shutdown, Wnd };

// "start", "stop", "mute", "startother", "shutdown" or "wnd".
const char *commandWordText(CommandWord word);

// A word that tells the voice state; only the newest of them matters.
bool isTalkWord(CommandWord word);

// Appends the frame of `text` (Latin-1) to `out`.
void appendWordFrame(std::string *out, std::string_view text);
