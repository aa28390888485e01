// Starting the standalone helper with the user's session: a value under
// the user's Run key on Windows, a desktop entry in the user's XDG
// autostart folder elsewhere (names.h names both).
#pragma once

#include <string>

namespace platform {

// Whether the entry is there now; read each time, so an entry the user
// removed by hand reads as gone.
bool autostartEnabled();

// Makes the entry start `program` (a path in UTF-8) with --standalone,
// replacing one there; false when it could not.
bool enableAutostart(const std::string &program);

// Removes the entry; true also when there was none.
bool disableAutostart();

}  // namespace platform
