// Which process is at the other end of an accepted command connection.
#pragma once

#include <cstdint>

namespace platform {

// The process id of the client of a connection, given the connection's
// native descriptor (a socket, or a named pipe handle on Windows); 0 when
// the system does not tell.
std::int64_t peerProcessId(std::intptr_t descriptor);

}  // namespace platform
