#include "command_server_name.h"

namespace platform {

QString commandServerName()
{
    return QStringLiteral("ts3VossikPlugin");
}

}  // namespace platform
