// Starting the helper program from the plugin. Qt-free: the plugin runs in
// the voice client's process, which has a Qt of its own.
#pragma once

#include <string>

namespace platform {

// The helper's file name in the plugin's folder (see protocol's names.h):
// the 64-bit name, or the 32-bit one in a 32-bit Windows build, with the
// program suffix on Windows only.
std::string helperProgramName();

// Starts `program` (a UTF-8 path) hidden and detached, with `argument` as
// its one argument. It keeps nothing of the caller but the standard output
// and error streams. Returns at once; false when it could not be started.
bool launchHelper(const std::string &program, const std::string &argument);

}  // namespace platform
