// Loading a shared library by path and looking up its exported functions, as
// a voice client loads its plugins. Free of Qt so that ts3host can load a
// plugin without pulling Qt into the process before the plugin does.
#pragma once

#include <string>

namespace platform {

class SharedLibrary
{
public:
    SharedLibrary() = default;
    ~SharedLibrary();
    SharedLibrary(const SharedLibrary &) = delete;
    SharedLibrary &operator=(const SharedLibrary &) = delete;

    // Loads the library at a UTF-8 path, binding all of its symbols at once
    // so a missing dependency fails here rather than mid-session. Closes any
    // library opened before. False on failure; error() says why.
    bool open(const std::string &utf8Path);
    bool isOpen() const { return m_handle != nullptr; }

    // Keeps the open library, and what it loaded, in memory until the
    // process ends, however it is closed.
    bool keepLoaded();

    // The address of an exported symbol, or nullptr (error() says why).
    void *symbol(const char *name);

    // The system's description of the last failure.
    std::string error() const { return m_error; }

    void close();

private:
    void *m_handle = nullptr;
    std::string m_path;
    std::string m_error;
};

}  // namespace platform
