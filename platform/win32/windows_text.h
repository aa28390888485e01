// UTF-8 to and from the UTF-16 text of the Windows API.
#pragma once

#include <string>

namespace platform {

std::wstring wideFromUtf8(const std::string &utf8);
std::string utf8FromWide(const wchar_t *wide, int length);

}  // namespace platform
