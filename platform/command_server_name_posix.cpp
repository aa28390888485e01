#include "command_server_name.h"

#include "runtime_dir.h"

namespace platform {

std::string commandServerName()
{
    const std::string dir = userRuntimeDir();
    if (dir.empty())
        return "ts3VossikPlugin";  // Qt's own temp folder, still user-only by socket options
    return dir + "/ts3VossikPlugin";
}

}  // namespace platform
