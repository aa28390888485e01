// Starting the helper program from the plugin.
#pragma once

#include <QString>

namespace platform {

// The helper's file name in the plugin's folder: "TS3_Vossik_Helper_win64.exe"
// (or "..._win32.exe" for a 32-bit build) on Windows, without ".exe" elsewhere.
QString helperProgramName();

// Starts `program` hidden and detached with `argument` as its one argument,
// without a shell. Returns at once; false when it could not be started.
bool launchHelper(const QString &program, const QString &argument);

}  // namespace platform
