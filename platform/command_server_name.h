// Where the helper's command server listens and the plugin connects.
#pragma once

#include <string>

namespace platform {

// The local server name (after protocol::kCommandServerBaseName): a named
// pipe of the user's on Windows; elsewhere the absolute path of the socket
// in the user's private runtime folder, so no other user can take the name
// or connect. UTF-8. Empty when no such
// name can be had (no private folder, or a path too long for a local
// socket): then nobody may listen or connect, and commandServerProblem()
// says why.
std::string commandServerName();

// Why commandServerName() is empty, as one line for the log; empty when it
// is not.
std::string commandServerProblem();

}  // namespace platform
