#include "relay_frames.h"

#include "command_frame.h"

namespace bench {

RelayRecord relayRecordFor(const unsigned char *payload, std::size_t size)
{
    std::uint64_t hash = 1469598103934665603ull;  // FNV-1a
    for (std::size_t i = 0; i < size; ++i) {
        hash ^= payload[i];
        hash *= 1099511628211ull;
    }
    return RelayRecord{kRelayTag, 0, size, static_cast<std::int64_t>(hash & 0x7fffffffffffffffull)};
}

std::vector<RelayRecord> takeFrames(std::vector<unsigned char> *pending)
{
    std::vector<RelayRecord> records;
    std::size_t offset = 0;
    for (;;) {
        const unsigned char *head = pending->data() + offset;
        const protocol::Frame frame =
            protocol::parseFrame(reinterpret_cast<const char *>(head), pending->size() - offset);
        if (frame.status != protocol::FrameStatus::Complete)
            break;
        records.push_back(
            relayRecordFor(head + protocol::kFrameHeaderBytes, frame.consumed - protocol::kFrameHeaderBytes));
        offset += frame.consumed;
    }
    pending->erase(pending->begin(), pending->begin() + static_cast<std::ptrdiff_t>(offset));
    return records;
}

}  // namespace bench
