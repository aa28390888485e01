// A write that cannot raise SIGPIPE, for code that runs inside processes
// whose signal set-up is not ours (the voice client's, for one).
#pragma once

#include <cstddef>
#include <sys/types.h>

namespace platform {

// write(2), except that a reader that has gone gives EPIPE only: the
// signal is kept from the process, whatever its handlers and threads.
ssize_t writeWithoutSigpipe(int fd, const void *data, std::size_t size);

}  // namespace platform
