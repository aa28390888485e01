#include "helper_launcher.h"

#include "names.h"
#include "start_hidden.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace platform {

namespace {

// Variables of the client that must not reach the helper: the client's own
// libraries (its Qt among them) and where its Qt looks for plugins.
bool keptFromHelper(const char *entry)
{
    for (const char *name : {"LD_LIBRARY_PATH=", "QT_PLUGIN_PATH=", kStartHiddenVariable}) {
        if (std::strncmp(entry, name, std::strlen(name)) == 0)
            return true;
    }
    return false;
}

int highestFd()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur > 65536)
        return 65536;
    return static_cast<int>(limit.rlim_cur);
}

// In the forked child: async-signal-safe calls only.
[[noreturn]] void becomeHelper(const char *program, char *const argv[], char *const envp[], int maxFd)
{
    const int null = ::open("/dev/null", O_RDONLY);
    if (null > 0) {
        ::dup2(null, 0);
        ::close(null);
    }
    // Whatever the client opened without close-on-exec stays with it.
#ifdef SYS_close_range
    if (::syscall(SYS_close_range, 3u, ~0u, 0u) != 0)
#endif
        for (int fd = 3; fd < maxFd; ++fd)
            ::close(fd);
    // The client's signal mask and ignored signals are not the helper's.
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction standard {
    };
    standard.sa_handler = SIG_DFL;
    for (int signal = 1; signal < NSIG; ++signal)
        ::sigaction(signal, &standard, nullptr);
    ::execve(program, argv, envp);
    ::_exit(127);
}

}  // namespace

std::string helperProgramName()
{
    return protocol::kHelperProgram64;
}

bool launchHelper(const std::string &program, const std::string &argument)
{
    if (::access(program.c_str(), X_OK) != 0)
        return false;
    // Built before fork: the client has other threads, so the child may
    // only make async-signal-safe calls.
    std::vector<char *> envp;
    for (char **entry = environ; entry && *entry; ++entry) {
        if (!keptFromHelper(*entry))
            envp.push_back(*entry);
    }
    std::string hidden = std::string(kStartHiddenVariable) + "=1";
    envp.push_back(&hidden[0]);
    envp.push_back(nullptr);
    std::string programCopy = program;
    std::string argumentCopy = argument;
    char *const argv[] = {&programCopy[0], &argumentCopy[0], nullptr};
    const int maxFd = highestFd();

    // Twice forked, in a session of its own: the helper is no child of the
    // client, so it never becomes the client's zombie, and no signal to the
    // client's process group reaches it.
    const pid_t child = ::fork();
    if (child < 0)
        return false;
    if (child == 0) {
        ::setsid();
        const pid_t helper = ::fork();
        if (helper == 0)
            becomeHelper(program.c_str(), argv, envp.data(), maxFd);
        ::_exit(helper < 0 ? 1 : 0);
    }
    int status = 0;
    pid_t waited;
    do {
        waited = ::waitpid(child, &status, 0);
    } while (waited < 0 && errno == EINTR);
    // A client that reaps its children itself leaves nothing to look at.
    return waited < 0 || (WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace platform
