#include "background_thread.h"

#include <windows.h>

namespace platform {

void yieldOnWake()
{
    // Without the boost a woken thread gets, it does not preempt its waker.
    SetThreadPriorityBoost(GetCurrentThread(), TRUE);
}

}  // namespace platform
