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
    // The attention signals, shown over the voice state while they last.
    PokedProfile = 9,
    MessageProfile = 10,
    WhisperedProfile = 11,  // while the whisper lasts: no seconds
    JoinedProfile = 12,
};
constexpr int kProfileCount = 12;

// A timed signal shows for stateSeconds_N seconds, within these bounds.
constexpr int kMinSignalSeconds = 1;
constexpr int kMaxSignalSeconds = 60;
// Whether the profile is a signal with seconds of its own.
constexpr bool isTimedSignal(int profile)
{
    return profile == PokedProfile || profile == MessageProfile || profile == JoinedProfile;
}
// What a timed signal shows for when its seconds are missing or out of range.
constexpr int defaultSignalSeconds(int profile)
{
    return profile == JoinedProfile ? 3 : 5;
}
// The seconds to use for a stored value (0 when missing).
constexpr int signalSeconds(int profile, long long stored)
{
    return stored >= kMinSignalSeconds && stored <= kMaxSignalSeconds ? int(stored) : defaultSignalSeconds(profile);
}

// "", "_2", ... "_12".
QString profileSuffix(int profile);
