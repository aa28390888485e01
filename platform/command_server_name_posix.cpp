#include "command_server_name.h"

#include "runtime_dir.h"

namespace platform {

QString commandServerName()
{
    const std::string dir = userRuntimeDir();
    if (dir.empty())
        return QStringLiteral("ts3VossikPlugin");  // Qt's own temp folder, still user-only by socket options
    return QString::fromStdString(dir) + QStringLiteral("/ts3VossikPlugin");
}

}  // namespace platform
