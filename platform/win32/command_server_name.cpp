#include "command_server_name.h"

#include "names.h"
#include "user_sid.h"
#include "windows_text.h"

namespace platform {

std::string commandServerName()
{
    // Pipe names are machine-wide: the user's SID in the name keeps other
    // users' sessions apart, and the pipe's ACL keeps them out.
    const std::wstring sid = currentUserSid();
    if (sid.empty())
        return {};
    return std::string(protocol::kCommandServerBaseName) + "-"
           + utf8FromWide(sid.c_str(), static_cast<int>(sid.size()));
}

std::string commandServerProblem()
{
    return commandServerName().empty() ? "no command server name: the user's SID cannot be read" : std::string();
}

}  // namespace platform
