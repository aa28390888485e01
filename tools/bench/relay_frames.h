// What the baseline relay does with the bytes it receives: cut them into
// the frames the plugin writes (protocol's command_frame.h), as the helper
// does, and turn each into one 32-byte record for the sink, as the helper
// turns a word into one posted message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace bench {

struct RelayRecord {
    std::uint64_t tag;  // fixed, so the sink can tell records from noise
    std::uint64_t reserved;
    std::uint64_t wParam;  // the frame's payload length
    std::int64_t lParam;   // a hash of the payload
};
static_assert(sizeof(RelayRecord) == 32, "the size of one posted message");

constexpr std::uint64_t kRelayTag = 0x56524c59;  // "VRLY"

// The record a frame with this payload becomes.
RelayRecord relayRecordFor(const unsigned char *payload, std::size_t size);

// Takes every whole frame from the front of `pending`, in order, leaving a
// partial or bad one there.
std::vector<RelayRecord> takeFrames(std::vector<unsigned char> *pending);

}  // namespace bench
