// Quoting one argument so that the Windows command-line rules (the C
// runtime's and CommandLineToArgvW's) give it back unchanged. Qt-free and
// built on every system, so it is tested everywhere.
#pragma once

#include <string>

namespace platform {

// Wraps `argument` in double quotes; backslashes are doubled only where
// they precede a quote (an embedded one or the closing one), and embedded
// quotes are escaped. An empty argument becomes "".
std::wstring quoteWindowsArgument(const std::wstring &argument);

}  // namespace platform
