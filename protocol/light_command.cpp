#include "light_command.h"

namespace protocol {

LightCommand LightCommand::pack(int zone, int effect, int speed, int red, int green, int blue)
{
    LightCommand command;
    command.wParam = static_cast<std::uint64_t>((zone << 16) | (effect << 8) | speed);
    command.lParam = static_cast<std::int64_t>((red << 16) | (green << 8) | blue);
    return command;
}

LightFields LightCommand::unpack() const
{
    LightFields fields;
    fields.zone = static_cast<int>((wParam >> 16) & 0xFF);
    fields.effect = static_cast<int>((wParam >> 8) & 0xFF);
    fields.speed = static_cast<int>(wParam & 0xFF);
    fields.rgb = static_cast<std::uint32_t>(static_cast<std::uint64_t>(lParam) & 0xFFFFFFu);
    return fields;
}

LightCommand muteSignal()
{
    return LightCommand::pack(LightZoneEvent, LightEffectBlinking, LightSpeedFast, 255, 0, 0);
}

}  // namespace protocol
