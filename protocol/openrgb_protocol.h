// The network protocol of an RGB lighting server (default port 6742) as far
// as the helper drives it, and its stand-in server answers it: packets of a
// 16-byte header ("ORGB", device index, packet id, data size, all
// little-endian u32) and data; strings are a u16 length that counts the
// terminating NUL; a colour is the bytes red, green, blue, 0.
// Pure functions over bytes, so every reader can be fuzzed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace protocol::openrgb {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint16_t kDefaultPort = 6742;
constexpr char kDefaultHost[] = "127.0.0.1";
// The newest version whose blocks we read; the server may speak fewer.
constexpr std::uint32_t kClientVersion = 4;
constexpr char kClientName[] = "Vossik colorful plugin";
constexpr std::size_t kHeaderSize = 16;
// No packet of a real server comes near this; a larger size is a broken or
// hostile peer, and its data is never buffered.
constexpr std::uint32_t kMaxPacketSize = 1u << 20;

enum PacketId : std::uint32_t {
    RequestControllerCount = 0,
    RequestControllerData = 1,
    RequestProtocolVersion = 40,
    SetClientName = 50,
    DeviceListUpdated = 100,
    UpdateLeds = 1050,
    UpdateZoneLeds = 1051,
    UpdateSingleLed = 1052,
    SetCustomMode = 1100,
    UpdateMode = 1101,
};

// Mode flags and colour modes as the server reports them.
constexpr std::uint32_t kModeHasPerLedColour = 0x20;
// The device stores every update in its own memory, which wears out.
constexpr std::uint32_t kModeAutomaticSave = 0x200;
constexpr std::uint32_t kColourModePerLed = 1;

struct Header {
    std::uint32_t deviceIndex = 0;
    std::uint32_t packetId = 0;
    std::uint32_t size = 0;  // bytes of data after the header
};

enum class HeaderStatus { Complete, NeedMore, BadMagic, TooLarge };

// Reads the header at the start of `data`. Complete once all 16 bytes are
// there and the size is at most `maxSize`; BadMagic as soon as one of the
// first four bytes is wrong (even before all 16 came).
HeaderStatus parseHeader(const std::uint8_t *data, std::size_t size, Header *header,
                         std::uint32_t maxSize = kMaxPacketSize);

struct Colour {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    bool operator==(const Colour &o) const { return red == o.red && green == o.green && blue == o.blue; }
    bool operator!=(const Colour &o) const { return !(*this == o); }
};

struct Mode {
    std::string name;
    std::int32_t value = 0;
    std::uint32_t flags = 0;
    std::uint32_t speedMin = 0;
    std::uint32_t speedMax = 0;
    std::uint32_t brightnessMin = 0;  // version >= 3
    std::uint32_t brightnessMax = 0;  // version >= 3
    std::uint32_t colorsMin = 0;
    std::uint32_t colorsMax = 0;
    std::uint32_t speed = 0;
    std::uint32_t brightness = 0;  // version >= 3
    std::uint32_t direction = 0;
    std::uint32_t colorMode = 0;
    std::vector<Colour> colors;
};

struct Segment {
    std::string name;
    std::int32_t type = 0;
    std::uint32_t start = 0;
    std::uint32_t count = 0;
};

struct Zone {
    std::string name;
    std::int32_t type = 0;
    std::uint32_t ledsMin = 0;
    std::uint32_t ledsMax = 0;
    std::uint32_t ledsCount = 0;
    std::uint32_t matrixHeight = 0;  // 0 and 0: no matrix
    std::uint32_t matrixWidth = 0;
    std::vector<std::uint32_t> matrix;  // height x width
    std::vector<Segment> segments;      // version >= 4
    std::uint32_t flags = 0;            // version >= 5
};

struct Led {
    std::string name;
    std::uint32_t value = 0;
};

struct Controller {
    std::int32_t type = 0;
    std::string name;
    std::string vendor;  // version >= 1
    std::string description;
    std::string version;
    std::string serial;
    std::string location;
    std::int32_t activeMode = 0;
    std::vector<Mode> modes;
    std::vector<Zone> zones;
    std::vector<Led> leds;
    std::vector<Colour> colors;                  // the current colour of every LED
    std::vector<std::string> alternateLedNames;  // version >= 5
    std::uint32_t flags = 0;                     // version >= 5
};

// Whole packets, header included.
Bytes packet(std::uint32_t packetId, std::uint32_t deviceIndex, const Bytes &data = {});
Bytes requestProtocolVersion(std::uint32_t version);
Bytes setClientName(std::string_view name);
Bytes requestControllerCount();
// No data for version 0; the version as u32 from version 1 on.
Bytes requestControllerData(std::uint32_t index, std::uint32_t version);
Bytes setCustomMode(std::uint32_t index);
// The mode block written by `version` (its brightness fields from 3 on).
Bytes updateMode(std::uint32_t index, std::int32_t modeIndex, const Mode &mode, std::uint32_t version);
// Every LED of the controller at once.
Bytes updateLeds(std::uint32_t index, const std::vector<Colour> &colours);

// Data readers; nullopt for data that is short, too long, or inconsistent
// (a count larger than what is left, a data_size that disagrees).
std::optional<std::uint32_t> parseU32(const std::uint8_t *data, std::size_t size);  // exactly 4 bytes
std::optional<Controller> parseControllerData(const std::uint8_t *data, std::size_t size, std::uint32_t version);
std::optional<std::string> parseClientName(const std::uint8_t *data, std::size_t size);
struct LedUpdate {
    std::vector<Colour> colours;
};
std::optional<LedUpdate> parseUpdateLeds(const std::uint8_t *data, std::size_t size);
struct ModeUpdate {
    std::int32_t modeIndex = 0;
    Mode mode;
};
std::optional<ModeUpdate> parseUpdateMode(const std::uint8_t *data, std::size_t size, std::uint32_t version);

// What the stand-in server sends: the controller block by `version`.
Bytes encodeControllerData(const Controller &controller, std::uint32_t version);

// The index of the mode that takes per-LED colours: "Direct", else
// "Custom", else "Static" (names compared without case); -1 when none.
int perLedModeIndex(const Controller &controller);
// The mode meant for frequent updates: the one named "Direct" (without
// case) whose flags lack AUTOMATIC_SAVE; -1 when none.
int directModeIndex(const Controller &controller);

}  // namespace protocol::openrgb
