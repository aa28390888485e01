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
    case SpeedSlow:
        return 0;
    case SpeedFast:
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

LightFields decodeLightCommand(std::uint64_t wParam, std::int64_t lParam)
{
    LightFields fields;
    fields.zone = static_cast<int>((wParam >> 16) & 0xFF);
    fields.effect = static_cast<int>((wParam >> 8) & 0xFF);
    fields.speed = static_cast<int>(wParam & 0xFF);
    fields.rgb = static_cast<std::uint32_t>(static_cast<std::uint64_t>(lParam) & 0xFFFFFFu);
    return fields;
}

std::string formatRgb(std::uint32_t rgb)
{
    char text[8];
    std::snprintf(text, sizeof text, "#%06x", static_cast<unsigned>(rgb & 0xFFFFFFu));
    return text;
}

std::string formatCommandLine(std::int64_t elapsedMs, std::uint64_t wParam, std::int64_t lParam)
{
    const LightFields fields = decodeLightCommand(wParam, lParam);
    char text[160];
    std::snprintf(text, sizeof text, "%lld zone=%d effect=%d speed=%d rgb=%s wParam=0x%06llx lParam=0x%06llx",
                  static_cast<long long>(elapsedMs), fields.zone, fields.effect, fields.speed,
                  formatRgb(fields.rgb).c_str(), static_cast<unsigned long long>(wParam),
                  static_cast<unsigned long long>(static_cast<std::uint64_t>(lParam)));
    return text;
}

std::string formatTerminalLine(std::uint64_t wParam, std::int64_t lParam)
{
    const LightFields fields = decodeLightCommand(wParam, lParam);
    // An Off light shows as a dark swatch, as the device would.
    const bool dark = fields.effect == EffectOff;
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
    case ZoneEvent:
        return "Event";
    case ZoneAmbient:
        return "Ambient";
    default:
        return withNumber("Zone", zone);
    }
}

std::string effectName(int effect)
{
    switch (effect) {
    case EffectOff:
        return "Off";
    case EffectOn:
        return "On";
    case EffectBlinking:
        return "Blinking";
    case EffectBreathing:
        return "Breathing";
    case EffectHeartbeat:
        return "Heartbeat";
    default:
        return withNumber("Effect", effect);
    }
}

std::string speedName(int speed)
{
    switch (speed) {
    case SpeedNone:
        return "None";
    case SpeedSlow:
        return "Slow";
    case SpeedNormal:
        return "Normal";
    case SpeedFast:
        return "Fast";
    default:
        return withNumber("Speed", speed);
    }
}

bool isAnimatedEffect(int effect)
{
    return effect == EffectBlinking || effect == EffectBreathing || effect == EffectHeartbeat;
}

int effectPeriodMs(int effect, int speed)
{
    const int index = speedIndex(speed);
    switch (effect) {
    case EffectBlinking:
        return kBlinkPeriodMs[index];
    case EffectBreathing:
        return kBreathePeriodMs[index];
    case EffectHeartbeat:
        return kHeartbeatPeriodMs[index];
    default:
        return 0;
    }
}

double effectBrightness(int effect, int speed, std::int64_t msSinceCommand)
{
    if (effect == EffectOff)
        return 0.0;
    const int period = effectPeriodMs(effect, speed);
    if (period <= 0)
        return 1.0;
    const std::int64_t t = msSinceCommand < 0 ? 0 : msSinceCommand;
    const double phase = static_cast<double>(t % period) / period;
    switch (effect) {
    case EffectBlinking:
        return phase < 0.5 ? 1.0 : 0.0;
    case EffectBreathing:
        return 0.5 + 0.5 * std::cos(2.0 * kPi * phase);
    case EffectHeartbeat: {
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
