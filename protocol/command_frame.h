// The bytes of one command word on the helper's local socket: what Qt's
// QDataStream (version 7) writes for one QString, so the helper's Qt reads
// each word as one QString. A 4-byte big-endian byte length (0xFFFFFFFF for
// a null string), then UTF-16 big-endian code units.
//
// Pure functions over bytes, so the framing can be tested and fuzzed apart
// from any socket.
#pragma once

#include "command_words.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace protocol {

constexpr std::size_t kFrameHeaderBytes = 4;
// The length field of a null string, which has no text at all.
constexpr std::uint32_t kNullTextLength = 0xFFFFFFFFu;
// Longest text a command may carry. The real words are a few characters;
// anything longer is not a command, and the cap keeps what a client can make
// the helper hold small.
constexpr std::uint32_t kMaxTextBytes = 1024;
constexpr std::size_t kMaxFrameBytes = kFrameHeaderBytes + kMaxTextBytes;

enum class FrameStatus {
    Complete,   // `text`, `null` and `consumed` are set
    NeedMore,   // a frame has begun but not all of it has arrived
    BadLength,  // odd length: not UTF-16
    TooLong,    // over kMaxTextBytes
};

struct Frame {
    FrameStatus status = FrameStatus::NeedMore;
    std::u16string text;       // the UTF-16 code units
    bool null = false;         // a null string on the wire (then `text` is empty)
    std::size_t consumed = 0;  // bytes the frame takes from the front of the input
};

// Looks at the front of `data` for one whole frame.
Frame parseFrame(const char *data, std::size_t size);

// Appends the frame of `text`, of a null string, or of a word's text.
void appendFrame(std::string *out, std::u16string_view text);
void appendNullFrame(std::string *out);
void appendFrame(std::string *out, CommandWord word);

// Text for a log line about a bad frame.
const char *describe(FrameStatus status);

}  // namespace protocol
