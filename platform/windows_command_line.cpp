#include "windows_command_line.h"

namespace platform {

std::wstring quoteWindowsArgument(const std::wstring &argument)
{
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"') {
            quoted.append(2 * backslashes + 1, L'\\');
        } else {
            quoted.append(backslashes, L'\\');
        }
        backslashes = 0;
        quoted.push_back(c);
    }
    quoted.append(2 * backslashes, L'\\');  // they now precede the closing quote
    quoted.push_back(L'"');
    return quoted;
}

}  // namespace platform
