// What a standard user may learn of who runs a process: its row in the
// system's process list, its token where it may be opened, and our own
// user and session, for windowsProcessOwner() to decide on.
#pragma once

#include "windows_process_owner.h"

namespace platform {

WindowsProcessFacts processOwnerFacts(unsigned long pid);

}  // namespace platform
