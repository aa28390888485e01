// Programs the benchmark starts, with its own environment.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace bench {

class ChildProcess
{
public:
    ChildProcess() = default;
    ~ChildProcess() { stop(); }
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    // Starts `arguments[0]` with the rest as its arguments, in our environment
    // with `environment`'s "NAME=value" entries put over it. False if it could not.
    bool start(const std::vector<std::string> &arguments, const std::vector<std::string> &environment = {});
    pid_t pid() const { return m_pid; }
    bool running();
    // Waits up to `timeoutMs` for the process to end by itself.
    bool waitForExit(int timeoutMs);
    // Ends it (TERM, then KILL if it lingers) and reaps it.
    void stop();

private:
    pid_t m_pid = -1;
};

}  // namespace bench
