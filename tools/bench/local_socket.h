// Plain local (Unix domain) stream sockets, with nothing between the caller
// and the system: what the baseline measures against.
#pragma once

#include <cstddef>
#include <string>

namespace bench {

// A socket listening at `path` (an old socket file there is replaced), or
// -1. The file appears only once the socket listens.
int listenAt(const std::string &path);
// The next connection on a listening socket, or -1.
int acceptOne(int listener);
// A connection to `path`, or -1 at once when nobody listens there.
int connectTo(const std::string &path);
// A connection to `path`, trying again until someone listens there or
// `timeoutMs` has passed. A socket file exists from bind() on, before its
// owner listens, so its presence tells nothing.
int connectWithin(const std::string &path, int timeoutMs);
// Writes everything, waiting while the peer's buffer is full. False on error.
bool writeAll(int fd, const void *data, std::size_t size);
void closeFd(int fd);

}  // namespace bench
