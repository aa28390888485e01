// One light profile: what the device shows in one talk situation.
#pragma once

#include "light_control_api.h"

#include <QString>

struct LightProfile {
    int zone = LightZoneEvent;
    int effect = LightEffectOn;
    int speed = LightSpeedNormal;
    int red = 0;
    int green = 0;
    int blue = 0;

    LightCommand command() const { return encodeLightCommand(zone, effect, speed, red, green, blue); }
};

// Profile numbers, which are also the settings keys' suffixes.
enum ProfileNumber { SpeakingProfile = 1, SilentProfile = 2, ShutdownProfile = 3, OthersProfile = 4 };

// "", "_2", "_3" or "_4".
QString profileSuffix(int profile);
