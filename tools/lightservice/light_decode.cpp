#include "light_decode.h"

#include <cmath>
#include <cstdio>

namespace lightservice {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Cycle lengths per effect for Slow, Normal and Fast. Blinking at Fast is
// the "speaking while muted" signal, so it must read as urgent; Breathing
// stays calm even at Fast; Heartbeat sits around 40, 60 and 90 beats a minute.
constexpr int kBlinkPeriodMs[] = {1000, 600, 300};
constexpr int kBreathePeriodMs[] = {4000, 2500, 1500};
constexpr int kHeartbeatPeriodMs[] = {1500, 1000, 660};

int speedIndex(int speed)
{
    switch (speed) {
    case protocol::LightSpeedSlow:
        return 0;
    case protocol::LightSpeedFast:
        return 2;
    default:  // Normal, "no speed" and anything unknown
        return 1;
    }
}

// A smooth 0 -> 1 -> 0 bump over u in [0, 1).
double bump(double u)
{
    const double s = std::sin(kPi * u);
    return s * s;
}

std::string withNumber(const char *prefix, int value)
{
    return std::string(prefix) + " " + std::to_string(value);
}

}  // namespace

std::string formatRgb(std::uint32_t rgb)
{
    char text[8];
    std::snprintf(text, sizeof text, "#%06x", static_cast<unsigned>(rgb & 0xFFFFFFu));
    return text;
}

std::string formatCommandLine(std::int64_t elapsedMs, std::uint64_t wParam, std::int64_t lParam)
{
    const protocol::LightFields fields = protocol::LightCommand{wParam, lParam}.unpack();
    char text[160];
    std::snprintf(text, sizeof text, "%lld zone=%d effect=%d speed=%d rgb=%s wParam=0x%06llx lParam=0x%06llx",
                  static_cast<long long>(elapsedMs), fields.zone, fields.effect, fields.speed,
                  formatRgb(fields.rgb).c_str(), static_cast<unsigned long long>(wParam),
                  static_cast<unsigned long long>(static_cast<std::uint64_t>(lParam)));
    return text;
}

std::string formatTerminalLine(std::uint64_t wParam, std::int64_t lParam)
{
    const protocol::LightFields fields = protocol::LightCommand{wParam, lParam}.unpack();
    // An Off light shows as a dark swatch, as the device would.
    const bool dark = fields.effect == protocol::LightEffectOff;
    char swatch[64];
    std::snprintf(swatch, sizeof swatch, "\033[48;2;%d;%d;%dm        \033[0m", dark ? 20 : fields.red(),
                  dark ? 20 : fields.green(), dark ? 20 : fields.blue());
    return std::string("  ") + swatch + "  " + formatRgb(fields.rgb) + "  " + effectName(fields.effect) + ", "
           + speedName(fields.speed) + ", " + zoneName(fields.zone) + " zone";
}

std::string formatAttachLine(std::uint64_t handle)
{
    char text[48];
    std::snprintf(text, sizeof text, "ATTACH sent to 0x%llx", static_cast<unsigned long long>(handle));
    return text;
}

std::string zoneName(int zone)
{
    switch (zone) {
    case protocol::LightZoneEvent:
        return "Event";
    case protocol::LightZoneAmbient:
        return "Ambient";
    default:
        return withNumber("Zone", zone);
    }
}

std::string effectName(int effect)
{
    switch (effect) {
    case protocol::LightEffectOff:
        return "Off";
    case protocol::LightEffectOn:
        return "On";
    case protocol::LightEffectBlinking:
        return "Blinking";
    case protocol::LightEffectBreathing:
        return "Breathing";
    case protocol::LightEffectHeartbeat:
        return "Heartbeat";
    default:
        return withNumber("Effect", effect);
    }
}

std::string speedName(int speed)
{
    switch (speed) {
    case protocol::LightSpeedNone:
        return "None";
    case protocol::LightSpeedSlow:
        return "Slow";
    case protocol::LightSpeedNormal:
        return "Normal";
    case protocol::LightSpeedFast:
        return "Fast";
    default:
        return withNumber("Speed", speed);
    }
}

bool isAnimatedEffect(int effect)
{
    return effect == protocol::LightEffectBlinking || effect == protocol::LightEffectBreathing
           || effect == protocol::LightEffectHeartbeat;
}

int effectPeriodMs(int effect, int speed)
{
    const int index = speedIndex(speed);
    switch (effect) {
    case protocol::LightEffectBlinking:
        return kBlinkPeriodMs[index];
    case protocol::LightEffectBreathing:
        return kBreathePeriodMs[index];
    case protocol::LightEffectHeartbeat:
        return kHeartbeatPeriodMs[index];
    default:
        return 0;
    }
}

double effectBrightness(int effect, int speed, std::int64_t msSinceCommand)
{
    if (effect == protocol::LightEffectOff)
        return 0.0;
    const int period = effectPeriodMs(effect, speed);
    if (period <= 0)
        return 1.0;
    const std::int64_t t = msSinceCommand < 0 ? 0 : msSinceCommand;
    const double phase = static_cast<double>(t % period) / period;
    switch (effect) {
    case protocol::LightEffectBlinking:
        return phase < 0.5 ? 1.0 : 0.0;
    case protocol::LightEffectBreathing:
        return 0.5 + 0.5 * std::cos(2.0 * kPi * phase);
    case protocol::LightEffectHeartbeat: {
        // "lub" then a softer "dub", each 14% of the cycle, then rest.
        constexpr double kBeat = 0.14;
        constexpr double kSecondAt = 0.24;
        if (phase < kBeat)
            return bump(phase / kBeat);
        if (phase >= kSecondAt && phase < kSecondAt + kBeat)
            return 0.7 * bump((phase - kSecondAt) / kBeat);
        return 0.0;
    }
    default:
        return 1.0;
    }
}

}  // namespace lightservice
