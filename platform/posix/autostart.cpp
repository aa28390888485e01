#include "autostart.h"

#include "names.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

constexpr char kIconName[] = "vossik-lights";

std::string homeFolder()
{
    const char *home = std::getenv("HOME");
    if (home && home[0] == '/')
        return home;
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd *found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir
        && found->pw_dir[0] == '/')
        return found->pw_dir;
    return {};
}

// $XDG_CONFIG_HOME/autostart; ~/.config/autostart when the variable is
// unset or not absolute, as the base directory rules say. Empty when no
// home is known.
std::string autostartFolder()
{
    const char *config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/')
        return std::string(config) + "/autostart";
    const std::string home = homeFolder();
    return home.empty() ? std::string() : home + "/.config/autostart";
}

std::string entryPathIn(const std::string &folder)
{
    return folder.empty() ? std::string() : folder + '/' + protocol::kAutostartDesktopFile;
}

// Each missing folder on the way, for the user alone.
bool makeFolders(const std::string &path)
{
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            break;
    }
    struct stat info = {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The program as the one quoted argument of Exec. Inside the quotes `"`,
// `` ` ``, `$` and `\` take a backslash and `%` doubles (it starts field
// codes); then the string value's own escaping doubles every backslash
// once more and spells out line breaks.
std::string execArgument(const std::string &program)
{
    std::string quoted = "\"";
    for (const char c : program) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        else if (c == '%')
            quoted += '%';
        quoted += c;
    }
    quoted += '"';
    std::string value;
    for (const char c : quoted) {
        if (c == '\\')
            value += "\\\\";
        else if (c == '\n')
            value += "\\n";
        else if (c == '\r')
            value += "\\r";
        else
            value += c;
    }
    return value;
}

bool writeAll(int fd, const std::string &text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace

bool autostartEnabled()
{
    const std::string path = entryPathIn(autostartFolder());
    struct stat info = {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool enableAutostart(const std::string &program)
{
    const std::string folder = autostartFolder();
    if (folder.empty() || !makeFolders(folder))
        return false;
    const std::string entry = std::string("[Desktop Entry]\n"
                                          "Type=Application\n"
                                          "Name=Vossik lights\n"
                                          "Comment=Makes the LEDs of your device follow your TeamSpeak voice chat\n")
                              + "Exec=" + execArgument(program) + ' ' + protocol::kStandaloneOption + '\n'
                              + "Icon=" + kIconName + '\n' + "Terminal=false\n" + "X-GNOME-Autostart-enabled=true\n";
    // Written whole beside it, then renamed over it: a session that starts
    // meanwhile reads the old entry or the new one, never a part.
    std::string temporary = folder + "/." + protocol::kAutostartDesktopFile + ".XXXXXX";
    const int fd = ::mkostemp(&temporary[0], O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool written = writeAll(fd, entry);
    const bool closed = ::close(fd) == 0;
    if (written && closed && std::rename(temporary.c_str(), entryPathIn(folder).c_str()) == 0)
        return true;
    ::unlink(temporary.c_str());
    return false;
}

bool disableAutostart()
{
    const std::string path = entryPathIn(autostartFolder());
    return !path.empty() && (::unlink(path.c_str()) == 0 || errno == ENOENT);
}

}  // namespace platform
