// The per-user folder that holds this system's rendezvous points (the
// command server and the message endpoints) on non-Windows systems.
#pragma once

#include <string>

namespace platform {

// The user's runtime directory ($XDG_RUNTIME_DIR) when it is a private folder
// of this user, else `.vossik` in the user's home ($HOME, or the passwd entry's
// when $HOME is no folder of the user's that only the user can write to),
// created 0700. Never a folder that another user could have made first, as
// one in /tmp. Empty when no such folder can be had; `problem`, if given, then
// says why in one line.
std::string userRuntimeDir(std::string *problem = nullptr);

// Creates `path` with mode 0700 if missing, then checks that it is a real
// folder (no link) owned by this user that nobody else can enter.
bool ensurePrivateDir(const std::string &path);

}  // namespace platform
