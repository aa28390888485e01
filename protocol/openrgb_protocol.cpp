#include "openrgb_protocol.h"

#include <algorithm>
#include <cctype>
#include <limits>

namespace protocol::openrgb {

namespace {

constexpr std::uint8_t kMagic[4] = {'O', 'R', 'G', 'B'};
constexpr std::size_t kColourBytes = 4;
constexpr std::size_t kU16Max = std::numeric_limits<std::uint16_t>::max();

// The smallest blocks the data can hold, so a count is checked against what
// is left before anything is reserved for it.
constexpr std::size_t kMinStringBytes = 2;
constexpr std::size_t kMinSegmentBytes = kMinStringBytes + 12;
constexpr std::size_t kMinLedBytes = kMinStringBytes + 4;
std::size_t minModeBytes(std::uint32_t version)
{
    return kMinStringBytes + 4 * (version >= 3 ? 12 : 9) + 2;
}
std::size_t minZoneBytes(std::uint32_t version)
{
    return kMinStringBytes + 16 + 2 + (version >= 4 ? 2 : 0) + (version >= 5 ? 4 : 0);
}

// Bounds-checked little-endian reads; after the first failed read every
// later one fails too, so a parser checks `ok()` once at the end.
class Reader
{
public:
    Reader(const std::uint8_t *data, std::size_t size) : m_data(data), m_size(data ? size : 0) {}

    bool ok() const { return m_ok; }
    bool atEnd() const { return m_ok && m_at == m_size; }
    std::size_t left() const { return m_ok ? m_size - m_at : 0; }
    void fail() { m_ok = false; }

    std::uint16_t u16() { return static_cast<std::uint16_t>(unsignedOf(2)); }
    std::uint32_t u32() { return static_cast<std::uint32_t>(unsignedOf(4)); }
    std::int32_t i32() { return static_cast<std::int32_t>(u32()); }

    // A u16 length counting the NUL, the bytes, the NUL. Servers write at
    // least the NUL; a length of 0 is read leniently as the empty string, but
    // any other length must end in the NUL, or the framing is not what we
    // think it is.
    std::string string()
    {
        const std::size_t length = u16();
        if (length == 0 || !take(length))
            return {};
        const char *text = reinterpret_cast<const char *>(m_data + m_at - length);
        if (text[length - 1] != '\0') {
            fail();
            return {};
        }
        return std::string(text, length - 1);
    }

    Colour colour()
    {
        Colour colour;
        if (take(kColourBytes)) {
            const std::uint8_t *bytes = m_data + m_at - kColourBytes;
            colour = {bytes[0], bytes[1], bytes[2]};
        }
        return colour;
    }

    // How many of `count` blocks of at least `minBytes` each are worth
    // reserving: a count the remaining data cannot hold fails.
    std::size_t countFits(std::size_t count, std::size_t minBytes)
    {
        if (count > left() / minBytes)
            fail();
        return m_ok ? count : 0;
    }

private:
    bool take(std::size_t bytes)
    {
        if (!m_ok || bytes > m_size - m_at) {
            m_ok = false;
            return false;
        }
        m_at += bytes;
        return true;
    }
    std::uint64_t unsignedOf(std::size_t bytes)
    {
        if (!take(bytes))
            return 0;
        std::uint64_t value = 0;
        for (std::size_t i = bytes; i-- > 0;)
            value = (value << 8) | m_data[m_at - bytes + i];
        return value;
    }

    const std::uint8_t *m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
    bool m_ok = true;
};

void putU16(Bytes *out, std::uint16_t value)
{
    out->push_back(static_cast<std::uint8_t>(value));
    out->push_back(static_cast<std::uint8_t>(value >> 8));
}

void putU32(Bytes *out, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out->push_back(static_cast<std::uint8_t>(value >> shift));
}

void putI32(Bytes *out, std::int32_t value)
{
    putU32(out, static_cast<std::uint32_t>(value));
}

void setU32At(Bytes *out, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        (*out)[at + std::size_t(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

// A u16 count: what does not fit is left out, so the count always matches
// the blocks written after it.
std::size_t putCount(Bytes *out, std::size_t count)
{
    count = std::min(count, kU16Max);
    putU16(out, static_cast<std::uint16_t>(count));
    return count;
}

// Text longer than a u16 length (NUL included) can carry is cut.
void putString(Bytes *out, const std::string &text)
{
    const std::size_t length = std::min(text.size(), kU16Max - 1);
    putU16(out, static_cast<std::uint16_t>(length + 1));
    out->insert(out->end(), text.begin(), text.begin() + std::ptrdiff_t(length));
    out->push_back(0);
}

void putColour(Bytes *out, const Colour &colour)
{
    out->insert(out->end(), {colour.red, colour.green, colour.blue, 0});
}

void putColours(Bytes *out, const std::vector<Colour> &colours)
{
    const std::size_t count = putCount(out, colours.size());
    for (std::size_t i = 0; i < count; ++i)
        putColour(out, colours[i]);
}

std::vector<Colour> readColours(Reader *in)
{
    std::vector<Colour> colours(in->countFits(in->u16(), kColourBytes));
    for (Colour &colour : colours)
        colour = in->colour();
    return colours;
}

// A data block that starts with its own size: the size is patched in last.
Bytes sizedBlock()
{
    Bytes data;
    putU32(&data, 0);
    return data;
}
void finishSizedBlock(Bytes *data)
{
    setU32At(data, 0, static_cast<std::uint32_t>(data->size()));
}
bool readSizedBlockStart(Reader *in, std::size_t size)
{
    return in->u32() == size && in->ok();
}

void putMode(Bytes *out, const Mode &mode, std::uint32_t version)
{
    putString(out, mode.name);
    putI32(out, mode.value);
    putU32(out, mode.flags);
    putU32(out, mode.speedMin);
    putU32(out, mode.speedMax);
    if (version >= 3) {
        putU32(out, mode.brightnessMin);
        putU32(out, mode.brightnessMax);
    }
    putU32(out, mode.colorsMin);
    putU32(out, mode.colorsMax);
    putU32(out, mode.speed);
    if (version >= 3)
        putU32(out, mode.brightness);
    putU32(out, mode.direction);
    putU32(out, mode.colorMode);
    putColours(out, mode.colors);
}

Mode readMode(Reader *in, std::uint32_t version)
{
    Mode mode;
    mode.name = in->string();
    mode.value = in->i32();
    mode.flags = in->u32();
    mode.speedMin = in->u32();
    mode.speedMax = in->u32();
    if (version >= 3) {
        mode.brightnessMin = in->u32();
        mode.brightnessMax = in->u32();
    }
    mode.colorsMin = in->u32();
    mode.colorsMax = in->u32();
    mode.speed = in->u32();
    if (version >= 3)
        mode.brightness = in->u32();
    mode.direction = in->u32();
    mode.colorMode = in->u32();
    mode.colors = readColours(in);
    return mode;
}

// The matrix length is the byte count of what follows it (height, width,
// entries), as servers write it. We read by height and width and only ask
// the length to be non-zero; a matrix too large for the u16 is left out.
void putMatrix(Bytes *out, const Zone &zone)
{
    const std::uint64_t entries = std::uint64_t(zone.matrixHeight) * zone.matrixWidth;
    const std::uint64_t bytes = 8 + 4 * entries;
    if ((zone.matrixHeight == 0 && zone.matrixWidth == 0) || bytes > kU16Max || zone.matrix.size() != entries) {
        putU16(out, 0);
        return;
    }
    putU16(out, static_cast<std::uint16_t>(bytes));
    putU32(out, zone.matrixHeight);
    putU32(out, zone.matrixWidth);
    for (std::uint32_t entry : zone.matrix)
        putU32(out, entry);
}

void readMatrix(Reader *in, Zone *zone)
{
    if (in->u16() == 0)
        return;
    zone->matrixHeight = in->u32();
    zone->matrixWidth = in->u32();
    const std::uint64_t entries = std::uint64_t(zone->matrixHeight) * zone->matrixWidth;
    if (entries > in->left() / 4) {
        in->fail();
        return;
    }
    zone->matrix.resize(std::size_t(entries));
    for (std::uint32_t &entry : zone->matrix)
        entry = in->u32();
}

void putZone(Bytes *out, const Zone &zone, std::uint32_t version)
{
    putString(out, zone.name);
    putI32(out, zone.type);
    putU32(out, zone.ledsMin);
    putU32(out, zone.ledsMax);
    putU32(out, zone.ledsCount);
    putMatrix(out, zone);
    if (version >= 4) {
        const std::size_t count = putCount(out, zone.segments.size());
        for (std::size_t i = 0; i < count; ++i) {
            const Segment &segment = zone.segments[i];
            putString(out, segment.name);
            putI32(out, segment.type);
            putU32(out, segment.start);
            putU32(out, segment.count);
        }
    }
    if (version >= 5)
        putU32(out, zone.flags);
}

Zone readZone(Reader *in, std::uint32_t version)
{
    Zone zone;
    zone.name = in->string();
    zone.type = in->i32();
    zone.ledsMin = in->u32();
    zone.ledsMax = in->u32();
    zone.ledsCount = in->u32();
    readMatrix(in, &zone);
    if (version >= 4) {
        zone.segments.resize(in->countFits(in->u16(), kMinSegmentBytes));
        for (Segment &segment : zone.segments) {
            segment.name = in->string();
            segment.type = in->i32();
            segment.start = in->u32();
            segment.count = in->u32();
        }
    }
    if (version >= 5)
        zone.flags = in->u32();
    return zone;
}

bool equalsIgnoringCase(const std::string &text, std::string_view word)
{
    return text.size() == word.size() && std::equal(text.begin(), text.end(), word.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
           });
}

}  // namespace

HeaderStatus parseHeader(const std::uint8_t *data, std::size_t size, Header *header, std::uint32_t maxSize)
{
    if (!data)
        size = 0;
    for (std::size_t i = 0; i < std::min(size, sizeof kMagic); ++i) {
        if (data[i] != kMagic[i])
            return HeaderStatus::BadMagic;
    }
    if (size < kHeaderSize)
        return HeaderStatus::NeedMore;
    Reader in(data + sizeof kMagic, kHeaderSize - sizeof kMagic);
    Header read;
    read.deviceIndex = in.u32();
    read.packetId = in.u32();
    read.size = in.u32();
    if (header)
        *header = read;
    return read.size > maxSize ? HeaderStatus::TooLarge : HeaderStatus::Complete;
}

Bytes packet(std::uint32_t packetId, std::uint32_t deviceIndex, const Bytes &data)
{
    Bytes out(std::begin(kMagic), std::end(kMagic));
    out.reserve(kHeaderSize + data.size());
    putU32(&out, deviceIndex);
    putU32(&out, packetId);
    putU32(&out, static_cast<std::uint32_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

Bytes requestProtocolVersion(std::uint32_t version)
{
    Bytes data;
    putU32(&data, version);
    return packet(RequestProtocolVersion, 0, data);
}

Bytes setClientName(std::string_view name)
{
    Bytes data(name.begin(), name.end());
    data.push_back(0);
    return packet(SetClientName, 0, data);
}

Bytes requestControllerCount()
{
    return packet(RequestControllerCount, 0);
}

Bytes requestControllerData(std::uint32_t index, std::uint32_t version)
{
    Bytes data;
    if (version >= 1)
        putU32(&data, version);
    return packet(RequestControllerData, index, data);
}

Bytes setCustomMode(std::uint32_t index)
{
    return packet(SetCustomMode, index);
}

Bytes updateMode(std::uint32_t index, std::int32_t modeIndex, const Mode &mode, std::uint32_t version)
{
    Bytes data = sizedBlock();
    putI32(&data, modeIndex);
    putMode(&data, mode, version);
    finishSizedBlock(&data);
    return packet(UpdateMode, index, data);
}

Bytes updateLeds(std::uint32_t index, const std::vector<Colour> &colours)
{
    Bytes data = sizedBlock();
    putColours(&data, colours);
    finishSizedBlock(&data);
    return packet(UpdateLeds, index, data);
}

std::optional<std::uint32_t> parseU32(const std::uint8_t *data, std::size_t size)
{
    Reader in(data, size);
    const std::uint32_t value = in.u32();
    if (!in.atEnd())
        return std::nullopt;
    return value;
}

std::optional<Controller> parseControllerData(const std::uint8_t *data, std::size_t size, std::uint32_t version)
{
    Reader in(data, size);
    if (!readSizedBlockStart(&in, size))
        return std::nullopt;
    Controller controller;
    controller.type = in.i32();
    controller.name = in.string();
    if (version >= 1)
        controller.vendor = in.string();
    controller.description = in.string();
    controller.version = in.string();
    controller.serial = in.string();
    controller.location = in.string();

    const std::size_t modeCount = in.u16();
    controller.activeMode = in.i32();
    controller.modes.reserve(in.countFits(modeCount, minModeBytes(version)));
    for (std::size_t i = 0; i < modeCount && in.ok(); ++i)
        controller.modes.push_back(readMode(&in, version));

    const std::size_t zoneCount = in.countFits(in.u16(), minZoneBytes(version));
    controller.zones.reserve(zoneCount);
    for (std::size_t i = 0; i < zoneCount && in.ok(); ++i)
        controller.zones.push_back(readZone(&in, version));

    const std::size_t ledCount = in.countFits(in.u16(), kMinLedBytes);
    controller.leds.resize(ledCount);
    for (Led &led : controller.leds) {
        led.name = in.string();
        led.value = in.u32();
    }
    controller.colors = readColours(&in);

    if (version >= 5) {
        controller.alternateLedNames.resize(in.countFits(in.u16(), kMinStringBytes));
        for (std::string &name : controller.alternateLedNames)
            name = in.string();
        controller.flags = in.u32();
    }
    if (!in.atEnd())
        return std::nullopt;
    return controller;
}

std::optional<std::string> parseClientName(const std::uint8_t *data, std::size_t size)
{
    // The name ends in its NUL; anything after a NUL inside it is dropped.
    if (!data || size == 0 || data[size - 1] != 0)
        return std::nullopt;
    return std::string(reinterpret_cast<const char *>(data));
}

std::optional<LedUpdate> parseUpdateLeds(const std::uint8_t *data, std::size_t size)
{
    Reader in(data, size);
    if (!readSizedBlockStart(&in, size))
        return std::nullopt;
    LedUpdate update;
    update.colours = readColours(&in);
    if (!in.atEnd())
        return std::nullopt;
    return update;
}

std::optional<ModeUpdate> parseUpdateMode(const std::uint8_t *data, std::size_t size, std::uint32_t version)
{
    Reader in(data, size);
    if (!readSizedBlockStart(&in, size))
        return std::nullopt;
    ModeUpdate update;
    update.modeIndex = in.i32();
    update.mode = readMode(&in, version);
    if (!in.atEnd())
        return std::nullopt;
    return update;
}

Bytes encodeControllerData(const Controller &controller, std::uint32_t version)
{
    Bytes data = sizedBlock();
    putI32(&data, controller.type);
    putString(&data, controller.name);
    if (version >= 1)
        putString(&data, controller.vendor);
    putString(&data, controller.description);
    putString(&data, controller.version);
    putString(&data, controller.serial);
    putString(&data, controller.location);

    const std::size_t modeCount = putCount(&data, controller.modes.size());
    putI32(&data, controller.activeMode);
    for (std::size_t i = 0; i < modeCount; ++i)
        putMode(&data, controller.modes[i], version);
    const std::size_t zoneCount = putCount(&data, controller.zones.size());
    for (std::size_t i = 0; i < zoneCount; ++i)
        putZone(&data, controller.zones[i], version);
    const std::size_t ledCount = putCount(&data, controller.leds.size());
    for (std::size_t i = 0; i < ledCount; ++i) {
        putString(&data, controller.leds[i].name);
        putU32(&data, controller.leds[i].value);
    }
    putColours(&data, controller.colors);

    if (version >= 5) {
        const std::size_t nameCount = putCount(&data, controller.alternateLedNames.size());
        for (std::size_t i = 0; i < nameCount; ++i)
            putString(&data, controller.alternateLedNames[i]);
        putU32(&data, controller.flags);
    }
    finishSizedBlock(&data);
    return data;
}

int perLedModeIndex(const Controller &controller)
{
    for (std::string_view wanted : {"direct", "custom", "static"}) {
        for (std::size_t i = 0; i < controller.modes.size(); ++i) {
            if (equalsIgnoringCase(controller.modes[i].name, wanted))
                return int(i);
        }
    }
    return -1;
}

int directModeIndex(const Controller &controller)
{
    for (std::size_t i = 0; i < controller.modes.size(); ++i) {
        const Mode &mode = controller.modes[i];
        if (equalsIgnoringCase(mode.name, "direct") && !(mode.flags & kModeAutomaticSave))
            return int(i);
    }
    return -1;
}

}  // namespace protocol::openrgb
