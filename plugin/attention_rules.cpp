#include "attention_rules.h"

using protocol::CommandWord;

std::optional<CommandWord> pokeWord(std::optional<bool> fromOwn, int ffIgnored)
{
    if (!fromOwn || *fromOwn || ffIgnored != 0)
        return std::nullopt;
    return CommandWord::Poke;
}

std::optional<CommandWord> messageWord(int targetMode, std::optional<bool> fromOwn, int ffIgnored)
{
    if (targetMode != TextMessageTarget_CLIENT || !fromOwn || *fromOwn || ffIgnored != 0)
        return std::nullopt;
    return CommandWord::Message;
}

bool isJoin(uint64 ownChannel, uint64 oldChannelID, uint64 newChannelID)
{
    return ownChannel != 0 && newChannelID == ownChannel && oldChannelID != newChannelID;
}
