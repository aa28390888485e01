#include "light_animation.h"

#include <cmath>

namespace light {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Heartbeat, in fractions of the period: two beats, each full for a while,
// with a short fade at its end so the beat does not look cut off.
constexpr double kBeatFull = 0.12;
constexpr double kBeatFade = 0.04;
constexpr double kSecondBeat = 0.25;

double beat(double phase)
{
    if (phase < 0 || phase >= kBeatFull + kBeatFade)
        return 0;
    if (phase < kBeatFull)
        return 1;
    return 1 - (phase - kBeatFull) / kBeatFade;
}

std::uint8_t scaled(int channel, double level)
{
    return static_cast<std::uint8_t>(std::lround(channel * level));
}

}  // namespace

bool isAnimated(int effect)
{
    return effect == protocol::LightEffectBlinking || effect == protocol::LightEffectBreathing
           || effect == protocol::LightEffectHeartbeat;
}

int effectPeriodMs(int speed)
{
    switch (speed) {
    case protocol::LightSpeedSlow:
        return 2000;
    case protocol::LightSpeedFast:
        return 500;
    default:
        return 1000;
    }
}

double effectLevel(int effect, int speed, std::int64_t elapsedMs)
{
    if (effect == protocol::LightEffectOff)
        return 0;
    if (!isAnimated(effect))
        return 1;
    const int period = effectPeriodMs(speed);
    // Before the start (a clock that went back) counts as the start.
    const std::int64_t inPeriod = elapsedMs < 0 ? 0 : elapsedMs % period;
    const double phase = static_cast<double>(inPeriod) / period;
    switch (effect) {
    case protocol::LightEffectBlinking:
        return phase < 0.5 ? 1 : 0;
    case protocol::LightEffectBreathing:
        return (1 + std::cos(2 * kPi * phase)) / 2;
    default:
        return beat(phase) + beat(phase - kSecondBeat);
    }
}

Rgb frameColour(const protocol::LightFields &fields, std::int64_t elapsedMs)
{
    const double level = effectLevel(fields.effect, fields.speed, elapsedMs);
    return Rgb{scaled(fields.red(), level), scaled(fields.green(), level), scaled(fields.blue(), level)};
}

}  // namespace light
