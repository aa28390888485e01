#include "background_thread.h"

#include <pthread.h>
#include <sched.h>

namespace platform {

void yieldOnWake()
{
    // A batch thread never preempts another on wake-up; it still gets its
    // full share of the processor.
    const sched_param normal{};
    pthread_setschedparam(pthread_self(), SCHED_BATCH, &normal);
}

}  // namespace platform
