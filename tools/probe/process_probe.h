// What Linux tells about a running process: its resident memory and how
// much it ran (all threads together). Read by the benchmark and the
// process tests alike.
#pragma once

#include <cstdint>
#include <string>
#include <sys/types.h>

namespace probe {

// Resident memory in KiB, now (VmRSS) or at its peak (VmHWM); -1 when the
// process is gone.
std::int64_t residentKiB(pid_t pid);
std::int64_t peakResidentKiB(pid_t pid);

struct Activity {
    std::int64_t cpuNs = 0;     // time on a CPU
    std::int64_t switches = 0;  // context switches, voluntary or not: each wake-up is one
};
Activity activityOf(pid_t pid);

// The CPU model as /proc/cpuinfo names it.
std::string cpuModel();

}  // namespace probe
