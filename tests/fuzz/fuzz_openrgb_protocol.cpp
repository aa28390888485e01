// Arbitrary bytes read as what the lighting server and its client read: a
// packet header, a controller block, a LED and a mode update, at the
// version the first byte chooses. Checks: a header is taken only whole and
// with the magic; whatever is read, written again and read once more,
// comes back as the same bytes.
#include "fuzz_check.h"
#include "openrgb_protocol.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

using namespace protocol::openrgb;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size-- < 1)
        return 0;
    const std::uint32_t version = *data++ % 6;
    Header header;
    const HeaderStatus status = parseHeader(data, size, &header);
    const bool magic = std::memcmp(data, "ORGB", std::min<std::size_t>(size, 4)) == 0;
    check(magic == (status != HeaderStatus::BadMagic) && (status == HeaderStatus::NeedMore) == (magic && size < 16));
    if (status == HeaderStatus::Complete)
        check(!std::memcmp(packet(header.packetId, header.deviceIndex, Bytes(header.size)).data(), data, 16));

    const auto dataOf = [](const Bytes &packet) { return Bytes(packet.begin() + kHeaderSize, packet.end()); };
    if (const std::optional<Controller> controller = parseControllerData(data, size, version)) {
        const Bytes again = encodeControllerData(*controller, version);
        const std::optional<Controller> reread = parseControllerData(again.data(), again.size(), version);
        check(reread && encodeControllerData(*reread, version) == again);
        check(perLedModeIndex(*controller) >= -1 && perLedModeIndex(*controller) < int(controller->modes.size()));
    }
    if (const std::optional<LedUpdate> update = parseUpdateLeds(data, size)) {
        const Bytes again = dataOf(updateLeds(0, update->colours));
        const std::optional<LedUpdate> reread = parseUpdateLeds(again.data(), again.size());
        check(again.size() == size && reread && reread->colours == update->colours);
    }
    if (const std::optional<ModeUpdate> update = parseUpdateMode(data, size, version)) {
        const Bytes again = dataOf(updateMode(0, update->modeIndex, update->mode, version));
        const std::optional<ModeUpdate> reread = parseUpdateMode(again.data(), again.size(), version);
        check(reread && dataOf(updateMode(0, reread->modeIndex, reread->mode, version)) == again);
    }
    return 0;
}
