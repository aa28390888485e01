#include "command_server_name.h"

#include "names.h"
#include "runtime_dir.h"

#include <sys/un.h>

namespace platform {

namespace {

// The name, or empty with the reason in `problem`. Never a relative name:
// each side would resolve it in a folder of its own choosing (the helper in
// the temp folder, the plugin in its working folder), where another user
// can listen first.
std::string resolve(std::string *problem)
{
    const std::string dir = userRuntimeDir(problem);
    if (dir.empty())
        return {};
    const std::string path = dir + "/" + protocol::kCommandServerBaseName;
    constexpr std::size_t kMaxPath = sizeof(sockaddr_un::sun_path) - 1;  // room for the terminating NUL
    if (path.size() > kMaxPath) {
        if (problem)
            *problem = "command server path too long for a local socket (" + std::to_string(path.size())
                       + " bytes, at most " + std::to_string(kMaxPath) + "): " + path;
        return {};
    }
    return path;
}

}  // namespace

std::string commandServerName()
{
    return resolve(nullptr);
}

std::string commandServerProblem()
{
    std::string problem;
    resolve(&problem);
    return problem;
}

}  // namespace platform
