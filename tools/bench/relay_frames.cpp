#include "relay_frames.h"

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
    while (pending->size() - offset >= 4) {
        const unsigned char *head = pending->data() + offset;
        const std::size_t length = (std::size_t(head[0]) << 24) | (std::size_t(head[1]) << 16)
                                   | (std::size_t(head[2]) << 8) | std::size_t(head[3]);
        if (pending->size() - offset - 4 < length)
            break;
        records.push_back(relayRecordFor(head + 4, length));
        offset += 4 + length;
    }
    pending->erase(pending->begin(), pending->begin() + static_cast<std::ptrdiff_t>(offset));
    return records;
}

}  // namespace bench
