#include "child_process.h"

#include <chrono>
#include <csignal>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char **environ;

namespace bench {

bool ChildProcess::start(const std::vector<std::string> &arguments, const std::vector<std::string> &environment)
{
    std::vector<char *> argv;
    for (const std::string &argument : arguments)
        argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);
    std::vector<char *> envp;
    for (const std::string &entry : environment)
        envp.push_back(const_cast<char *>(entry.c_str()));
    for (char **entry = environ; *entry; ++entry) {
        const std::size_t nameLength = std::strcspn(*entry, "=") + 1;
        bool replaced = false;
        for (const std::string &mine : environment)
            replaced = replaced || mine.compare(0, nameLength, *entry, nameLength) == 0;
        if (!replaced)
            envp.push_back(*entry);
    }
    envp.push_back(nullptr);
    return ::posix_spawn(&m_pid, argv[0], nullptr, nullptr, argv.data(), envp.data()) == 0;
}

bool ChildProcess::running()
{
    if (m_pid <= 0)
        return false;
    if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
        m_pid = -1;
        return false;
    }
    return true;
}

bool ChildProcess::waitForExit(int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (running()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

void ChildProcess::stop()
{
    if (!running())
        return;
    ::kill(m_pid, SIGTERM);
    if (!waitForExit(2000)) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    m_pid = -1;
}

}  // namespace bench
