#include "console.h"

#include "windows_text.h"

#include <io.h>
#include <stdio.h>
#include <windows.h>
#include <shellapi.h>

namespace platform {

std::vector<std::string> utf8Arguments(int argc, char **argv)
{
    int count = 0;
    if (LPWSTR *wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
        std::vector<std::string> arguments;
        for (int i = 1; i < count; ++i)
            arguments.push_back(utf8FromWide(wide[i], static_cast<int>(wcslen(wide[i]))));
        LocalFree(wide);
        return arguments;
    }
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

bool stdinIsTerminal()
{
    return _isatty(_fileno(stdin)) != 0;
}

}  // namespace platform
