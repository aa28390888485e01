#include "peer_process.h"

#include <sys/socket.h>

namespace platform {

std::int64_t peerProcessId(std::intptr_t descriptor)
{
    struct ucred credentials {
    };
    socklen_t size = sizeof credentials;
    if (::getsockopt(static_cast<int>(descriptor), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0)
        return 0;
    return credentials.pid;
}

}  // namespace platform
