// When a poke, a text message or another client's move calls for the
// user's attention: the plain rules behind the words "poke", "message"
// and "join".
#pragma once

#include "command_words.h"
#include "ts3_host_api.h"

#include <optional>

// `fromOwn`: whether the sender is the user, nothing when the client
// could not tell; then no signal, as it may be the user's own message.
// `ffIgnored`: the user's friend/foe settings block the sender, so the
// client ignores the poke or message, and so does the light.
std::optional<protocol::CommandWord> pokeWord(std::optional<bool> fromOwn, int ffIgnored);
// Only a private message counts, not one to the channel or server.
std::optional<protocol::CommandWord> messageWord(int targetMode, std::optional<bool> fromOwn, int ffIgnored);

// Whether another client's move brings it into `ownChannel`, the user's
// channel (0 when unknown).
bool isJoin(uint64 ownChannel, uint64 oldChannelID, uint64 newChannelID);
