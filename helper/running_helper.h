// Requests to the helper that serves the user now, over its command server
// (--settings, --quit): the sender is no client of it.
#pragma once

#include "command_words.h"

enum class RequestResult {
    Done,      // sent; for Quit, the helper has stopped serving
    NoneRuns,  // no helper serves the command server name
    Failed,    // one serves, but did not take the request in time
};

// Blocks for at most a few seconds: for a program that only asks.
RequestResult askRunningHelper(protocol::CommandWord request);
