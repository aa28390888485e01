// One light profile: what the device shows in one talk situation.
#pragma once

#include "light_control_api.h"

#include <QString>

struct LightProfile {
    int zone = protocol::LightZoneEvent;
    int effect = protocol::LightEffectOn;
    int speed = protocol::LightSpeedNormal;
    int red = 0;
    int green = 0;
    int blue = 0;

    protocol::LightCommand command() const
    {
        return protocol::LightCommand::pack(zone, effect, speed, red, green, blue);
    }
};

// Profile numbers, which are also the settings keys' suffixes.
enum ProfileNumber {
    SpeakingProfile = 1,
    SilentProfile = 2,
    ShutdownProfile = 3,
    OthersProfile = 4,
    SoundMutedProfile = 5,  // the states from here on show only when enabled
    MicMutedProfile = 6,
    AwayProfile = 7,
    OfflineProfile = 8,
};
constexpr int kProfileCount = 8;

// "", "_2", ... "_8".
QString profileSuffix(int profile);
