// The helper's own effects for devices that only take colours: what one
// command looks like at a moment after it began. Pure, so a table can test
// the shapes and the periods.
#pragma once

#include "light_command.h"

#include <cstdint>

namespace light {

struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    bool operator==(const Rgb &o) const { return red == o.red && green == o.green && blue == o.blue; }
    bool operator!=(const Rgb &o) const { return !(*this == o); }
};

// About 30 steps a second while an effect moves.
constexpr int kAnimationStepMs = 33;

// Blinking, Breathing and Heartbeat move; Off, On and unknown effects stand
// still (an unknown effect shows its colour, as On).
bool isAnimated(int effect);

// The period of a moving effect: Slow 2000 ms, Normal 1000 ms, Fast 500 ms;
// 0 and unknown speeds count as Normal.
int effectPeriodMs(int speed);

// Brightness from 0 to 1 at `elapsedMs` after the command began. Every
// effect starts at full brightness, so a new command shows its colour at
// once. Blinking: on for the first half of the period, off for the second.
// Breathing: a smooth fall to dark and rise back (cosine). Heartbeat: two
// quick beats, then a pause until the period ends. Off is 0, On 1.
double effectLevel(int effect, int speed, std::int64_t elapsedMs);

// The command's colour scaled by its level at that moment.
Rgb frameColour(const protocol::LightFields &fields, std::int64_t elapsedMs);

}  // namespace light
