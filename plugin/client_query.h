// What the client already knows when the plugin starts, asked through its
// function table: a plugin enabled mid-session learns the facts no event
// will repeat.
#pragma once

#include "client_facts.h"
#include "ts3_host_api.h"

#include <optional>

// A function the table lacks, or an error answer, counts as not known:
// a status of disconnected, a flag of 0, no tab.
ClientFacts::Snapshot askClient(const TS3Functions &functions);

// The channel the user is in on a connection, or nothing when the client
// cannot say.
std::optional<uint64> askOwnChannel(const TS3Functions &functions, uint64 serverConnectionHandlerID);
