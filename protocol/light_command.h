// One light command from the helper to the device's light service: two
// message parameters, one byte a field.
//   wParam: zone in bits 16-23, effect in 8-15, speed in 0-7.
//   lParam: red in bits 16-23, green in 8-15, blue in 0-7.
// Higher bits are not part of any field.
#pragma once

#include <cstdint>

namespace protocol {

enum LightZone { LightZoneEvent = 1, LightZoneAmbient = 2 };
enum LightEffect {
    LightEffectOff = 0,
    LightEffectOn = 1,
    LightEffectBlinking = 2,
    LightEffectBreathing = 3,
    LightEffectHeartbeat = 4,
};
// None (0) is no speed at all: the settings readers take a missing or 0
// speed as Normal.
enum LightSpeed { LightSpeedNone = 0, LightSpeedSlow = 1, LightSpeedNormal = 2, LightSpeedFast = 3 };

// The fields of one command. Values outside the known enums are kept as
// they came, so a log shows exactly what was sent.
struct LightFields {
    int zone = 0;
    int effect = 0;
    int speed = 0;
    std::uint32_t rgb = 0;  // 0xRRGGBB

    int red() const { return static_cast<int>((rgb >> 16) & 0xFF); }
    int green() const { return static_cast<int>((rgb >> 8) & 0xFF); }
    int blue() const { return static_cast<int>(rgb & 0xFF); }
};

// The two message parameters of one light command.
struct LightCommand {
    std::uint64_t wParam = 0;  // zone << 16 | effect << 8 | speed
    std::int64_t lParam = 0;   // red << 16 | green << 8 | blue

    // Packs without masking: each value must already be in range or it
    // spills into its neighbour (the settings readers keep them in range).
    static LightCommand pack(int zone, int effect, int speed, int red, int green, int blue);
    // Each field's byte; what lies above them is dropped.
    LightFields unpack() const;

    bool operator==(const LightCommand &other) const { return wParam == other.wParam && lParam == other.lParam; }
};

// The red blinking "speaking while muted" signal.
LightCommand muteSignal();

}  // namespace protocol
