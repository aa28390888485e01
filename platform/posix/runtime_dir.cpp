#include "runtime_dir.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

bool isPrivateDirOfUser(const std::string &path)
{
    struct stat st = {};
    if (::lstat(path.c_str(), &st) != 0)
        return false;
    return S_ISDIR(st.st_mode) && st.st_uid == ::getuid() && (st.st_mode & 0077) == 0;
}

// Only a home that nobody else can write into: whoever can would be able to
// put a folder of their own in place of ours.
bool isUsableHome(const char *home)
{
    struct stat st = {};
    return home && home[0] == '/' && ::stat(home, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid()
           && (st.st_mode & 0022) == 0;
}

std::string homeDir()
{
    std::string home;
    if (const char *fromEnvironment = std::getenv("HOME"); isUsableHome(fromEnvironment)) {
        home = fromEnvironment;
    } else {
        // The reentrant form: the plugin asks from the client's threads.
        std::vector<char> buffer(16384);
        passwd entry{};
        passwd *found = nullptr;
        if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found
            && isUsableHome(found->pw_dir))
            home = found->pw_dir;
    }
    while (home.size() > 1 && home.back() == '/')
        home.pop_back();
    return home;
}

// Every entry in the open folder `fd` is this user's.
bool onlyOursInside(int fd)
{
    const int listingFd = ::dup(fd);
    DIR *listing = listingFd >= 0 ? ::fdopendir(listingFd) : nullptr;
    if (!listing) {
        if (listingFd >= 0)
            ::close(listingFd);
        return false;
    }
    bool ours = true;
    while (const dirent *entry = ::readdir(listing)) {
        struct stat st = {};
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            ours = ours && ::fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && st.st_uid == ::getuid();
    }
    ::closedir(listing);
    return ours;
}

// Our folder in the home: made 0700, and closed again if it was left open
// to others. Nothing in it may be someone else's: while it was open, another
// user could have put a socket there to pose as our command server.
bool ensureHomeFolder(const std::string &path)
{
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    // Checked and repaired through one descriptor, so a link swapped in
    // between is never followed.
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st = {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid();
    if (ok && (st.st_mode & 0077) != 0)
        ok = ::fchmod(fd, 0700) == 0;
    ok = ok && onlyOursInside(fd);
    ::close(fd);
    return ok;
}

}  // namespace

bool ensurePrivateDir(const std::string &path)
{
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    return isPrivateDirOfUser(path);
}

std::string userRuntimeDir(std::string *problem)
{
    const char *xdg = std::getenv("XDG_RUNTIME_DIR");
    if (xdg && xdg[0] == '/' && isPrivateDirOfUser(xdg))
        return xdg;
    const std::string home = homeDir();
    std::string why;
    if (home.empty()) {
        why = "no private runtime folder: $XDG_RUNTIME_DIR is not a private folder of this user, and neither $HOME "
              "nor the passwd entry names a home folder of this user that only this user can write to";
    } else {
        const std::string dir = (home == "/" ? std::string() : home) + "/.vossik";
        if (ensureHomeFolder(dir))
            return dir;
        why = "no private runtime folder: " + dir + " is not a folder of this user holding only this user's files";
    }
    if (problem)
        *problem = why;
    return {};
}

}  // namespace platform
