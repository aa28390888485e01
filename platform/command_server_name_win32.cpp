#include "command_server_name.h"

namespace platform {

std::string commandServerName()
{
    return "ts3VossikPlugin";
}

}  // namespace platform
