#include "peer_process.h"

#include <windows.h>

namespace platform {

std::int64_t peerProcessId(std::intptr_t descriptor)
{
    ULONG pid = 0;
    if (!GetNamedPipeClientProcessId(reinterpret_cast<HANDLE>(descriptor), &pid))
        return 0;
    return pid;
}

}  // namespace platform
