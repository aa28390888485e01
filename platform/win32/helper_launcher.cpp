#include "helper_launcher.h"

#include "names.h"
#include "windows_command_line.h"
#include "windows_text.h"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

namespace platform {

std::string helperProgramName()
{
    return std::string(sizeof(void *) == 8 ? protocol::kHelperProgram64 : protocol::kHelperProgram32)
           + protocol::kWindowsProgramSuffix;
}

bool launchHelper(const std::string &program, const std::string &argument)
{
    const std::wstring file = wideFromUtf8(program);
    // A missing program would make the shell show an error box.
    if (GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES)
        return false;
    // Quoted, so a folder with blanks (or a trailing backslash) arrives as
    // the one argument it is.
    const std::wstring parameters = quoteWindowsArgument(wideFromUtf8(argument));
    // The shell may hand the start to extensions that need COM on this thread.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    const HINSTANCE result = ShellExecuteW(nullptr, L"open", file.c_str(), parameters.c_str(), nullptr, SW_HIDE);
    if (SUCCEEDED(com))
        CoUninitialize();
    return reinterpret_cast<INT_PTR>(result) > 32;
}

}  // namespace platform
