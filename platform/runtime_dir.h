// The per-user folder that holds this system's rendezvous points (the
// command server and the message endpoints) on non-Windows systems.
#pragma once

#include <string>

namespace platform {

// The user's runtime directory ($XDG_RUNTIME_DIR) when it is a private folder
// of this user, else /tmp/vossik-<uid>, created 0700. Empty when neither can
// be had safely (for example a folder of that name owned by someone else).
std::string userRuntimeDir();

// Creates `path` with mode 0700 if missing, then checks that it is a real
// folder (no link) owned by this user that nobody else can enter.
bool ensurePrivateDir(const std::string &path);

}  // namespace platform
