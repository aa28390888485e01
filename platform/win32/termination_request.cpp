#include "termination_request.h"

namespace platform {

// A GUI program on Windows is asked to end through its windows, which Qt
// already turns into a close.
void onTerminationRequest(QObject *, std::function<void()>) {}

bool terminationRequested()
{
    return false;
}

}  // namespace platform
