// How the light service tells and shows one light command (its fields:
// protocol's light_command.h), and how an LED would show it over time. Free
// of Qt and of any state, so the texts and the animation curves can be
// checked on their own.
#pragma once

#include "light_command.h"

#include <cstdint>
#include <string>

namespace lightservice {

// "#rrggbb", lowercase.
std::string formatRgb(std::uint32_t rgb);

// One line of the --log output for a command, without the newline:
// "<ms> zone=<n> effect=<n> speed=<n> rgb=#rrggbb wParam=0x<hex> lParam=0x<hex>".
// Both parameters get at least six hex digits; lParam is printed as its
// 64-bit two's complement when negative.
std::string formatCommandLine(std::int64_t elapsedMs, std::uint64_t wParam, std::int64_t lParam);

// The command for people on a 24-bit colour terminal: a swatch in its
// colour, then the colour and the effect in words. Without the newline.
std::string formatTerminalLine(std::uint64_t wParam, std::int64_t lParam);

// "ATTACH sent to 0x<hex>", without the newline.
std::string formatAttachLine(std::uint64_t handle);

// Display names; unknown values come back as e.g. "Zone 7".
std::string zoneName(int zone);
std::string effectName(int effect);
std::string speedName(int speed);  // 0 is "None"

// True for the effects whose brightness changes over time.
bool isAnimatedEffect(int effect);

// Length of one cycle of an animated effect at `speed`, in milliseconds;
// 0 for a steady effect. Speed 0 and unknown speeds run at Normal pace.
int effectPeriodMs(int effect, int speed);

// LED brightness in 0..1, `msSinceCommand` after the command arrived.
// Off is dark, On and unknown effects are steady on, Blinking is on for the
// first half of each cycle, Breathing fades along a cosine starting bright,
// Heartbeat gives a strong and a weaker pulse and then rests.
double effectBrightness(int effect, int speed, std::int64_t msSinceCommand);

}  // namespace lightservice
