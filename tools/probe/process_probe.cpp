#include "process_probe.h"

#include <dirent.h>
#include <fstream>
#include <sstream>

namespace probe {

namespace {

// The number after "<key>:" in a /proc file of such lines, or -1.
std::int64_t fieldOf(const std::string &path, const std::string &key)
{
    std::ifstream file(path);
    std::string line;
    while (std::getline(file, line)) {
        if (line.compare(0, key.size(), key) == 0 && line.size() > key.size() && line[key.size()] == ':')
            return std::stoll(line.substr(key.size() + 1));
    }
    return -1;
}

}  // namespace

std::int64_t residentKiB(pid_t pid)
{
    return fieldOf("/proc/" + std::to_string(pid) + "/status", "VmRSS");
}

std::int64_t peakResidentKiB(pid_t pid)
{
    return fieldOf("/proc/" + std::to_string(pid) + "/status", "VmHWM");
}

Activity activityOf(pid_t pid)
{
    Activity activity;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR *listing = ::opendir(tasks.c_str());
    if (!listing)
        return activity;
    while (const dirent *entry = ::readdir(listing)) {
        if (entry->d_name[0] == '.')
            continue;
        const std::string task = tasks + "/" + entry->d_name;
        std::ifstream schedstat(task + "/schedstat");
        std::int64_t runNs = 0;
        if (schedstat >> runNs)
            activity.cpuNs += runNs;
        const std::int64_t voluntary = fieldOf(task + "/status", "voluntary_ctxt_switches");
        const std::int64_t involuntary = fieldOf(task + "/status", "nonvoluntary_ctxt_switches");
        activity.switches += (voluntary > 0 ? voluntary : 0) + (involuntary > 0 ? involuntary : 0);
    }
    ::closedir(listing);
    return activity;
}

std::string cpuModel()
{
    std::ifstream file("/proc/cpuinfo");
    std::string line;
    while (std::getline(file, line)) {
        if (line.compare(0, 10, "model name") == 0) {
            const std::size_t colon = line.find(':');
            if (colon != std::string::npos)
                return line.substr(line.find_first_not_of(" \t", colon + 1));
        }
    }
    return "unknown";
}

}  // namespace probe
