#include "runtime_dir.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

bool isPrivateDirOfUser(const std::string &path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return false;
    return S_ISDIR(st.st_mode) && st.st_uid == ::getuid() && (st.st_mode & 0077) == 0;
}

}  // namespace

bool ensurePrivateDir(const std::string &path)
{
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    return isPrivateDirOfUser(path);
}

std::string userRuntimeDir()
{
    const char *xdg = std::getenv("XDG_RUNTIME_DIR");
    if (xdg && *xdg && isPrivateDirOfUser(xdg))
        return xdg;
    const std::string fallback = "/tmp/vossik-" + std::to_string(::getuid());
    return ensurePrivateDir(fallback) ? fallback : std::string();
}

}  // namespace platform
