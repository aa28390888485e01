// The command line and terminal of a console tool. Qt-free.
#pragma once

#include <string>
#include <vector>

namespace platform {

// The arguments after the program name, in UTF-8 (Windows hands argv over
// in the ANSI code page, which would mangle non-ASCII paths).
std::vector<std::string> utf8Arguments(int argc, char **argv);

bool stdinIsTerminal();

}  // namespace platform
