#include "console.h"

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
        for (int i = 1; i < count; ++i) {
            const int size = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
            std::string utf8(size > 0 ? static_cast<std::size_t>(size - 1) : 0, '\0');
            if (size > 1)
                WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, &utf8[0], size, nullptr, nullptr);
            arguments.push_back(utf8);
        }
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
