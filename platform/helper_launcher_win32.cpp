#include "helper_launcher.h"

#include "windows_command_line.h"

#include <windows.h>
#include <shellapi.h>

namespace platform {

QString helperProgramName()
{
    return sizeof(void *) == 8 ? QStringLiteral("TS3_Vossik_Helper_win64.exe")
                               : QStringLiteral("TS3_Vossik_Helper_win32.exe");
}

bool launchHelper(const QString &program, const QString &argument)
{
    const std::wstring file = program.toStdWString();
    // Quoted, so a folder with blanks (or a trailing backslash) arrives as
    // the one argument it is.
    const std::wstring parameters = quoteWindowsArgument(argument.toStdWString());
    const HINSTANCE result = ShellExecuteW(nullptr, L"open", file.c_str(), parameters.c_str(), nullptr, SW_HIDE);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

}  // namespace platform
