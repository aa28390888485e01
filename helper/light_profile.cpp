#include "light_profile.h"

QString profileSuffix(int profile)
{
    return profile == SpeakingProfile ? QString() : QStringLiteral("_%1").arg(profile);
}
