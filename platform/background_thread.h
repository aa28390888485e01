// Threads that work for another one, such as the plugin's writer, which the
// host's thread wakes for every word.
#pragma once

namespace platform {

// Makes the calling thread one that, when woken, waits for a free
// processor instead of taking the one of the thread that woke it: the
// waking thread (the host's) returns at once.
void yieldOnWake();

}  // namespace platform
