// The receiving side of the window-message stand-in on non-Windows systems.
//
// Every taking-part process opens an endpoint: a FIFO named by its 64-bit
// handle in a private per-user folder. A post is one atomic write of a fixed
// record, so it never blocks, never interleaves with other writers, and fails
// when no process reads the FIFO any more (the endpoint is gone). The pipe
// buffer is the message queue.
#pragma once

#include "window_messages.h"

#include <cstddef>
#include <functional>
#include <string>
#include <sys/types.h>

namespace platform {

// The process that opened the endpoint `handle`: its pid is the handle's
// upper bits. 0 for a handle no endpoint could have.
pid_t ownerProcess(Handle handle);

struct Endpoint {
    Handle handle = 0;
    int readFd = -1;
    int keepAliveFd = -1;  // our own writer, so readers never see end-of-file
    std::string path;
    unsigned char partial[64] = {};
    std::size_t partialSize = 0;
};

// The folder that holds the endpoints; created 0700 on first use. Empty when
// no private folder can be had.
std::string endpointDir();

// Opens a fresh endpoint with a handle unique on the machine.
bool openEndpoint(Endpoint *endpoint);

// Closes the endpoint and removes its name; posts to it fail from then on.
void closeEndpoint(Endpoint *endpoint);

// Reads every message that has arrived, in order, without blocking.
// Returns how many were handed to `deliver`.
std::size_t drainEndpoint(Endpoint *endpoint, const std::function<void(const Message &)> &deliver);

}  // namespace platform
