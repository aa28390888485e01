#include "console.h"

#include <unistd.h>

namespace platform {

std::vector<std::string> utf8Arguments(int argc, char **argv)
{
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

bool stdinIsTerminal()
{
    return isatty(STDIN_FILENO) != 0;
}

}  // namespace platform
