#include "shared_library.h"

#include <dlfcn.h>

namespace platform {

namespace {

std::string lastDlError(const char *fallback)
{
    const char *text = dlerror();
    return text ? text : fallback;
}

}  // namespace

SharedLibrary::~SharedLibrary()
{
    close();
}

bool SharedLibrary::open(const std::string &utf8Path)
{
    close();
    // RTLD_LOCAL: a plugin's symbols must not satisfy another library's.
    m_handle = dlopen(utf8Path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!m_handle) {
        m_error = lastDlError("unknown error");
        return false;
    }
    m_path = utf8Path;
    m_error.clear();
    return true;
}

bool SharedLibrary::keepLoaded()
{
    if (!m_handle) {
        m_error = "no library is open";
        return false;
    }
    // Finds the library already open and marks it never to be unloaded.
    void *again = dlopen(m_path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD | RTLD_NODELETE);
    if (!again) {
        m_error = lastDlError("cannot keep the library loaded");
        return false;
    }
    dlclose(again);
    return true;
}

void *SharedLibrary::symbol(const char *name)
{
    if (!m_handle) {
        m_error = "no library is open";
        return nullptr;
    }
    dlerror();  // a stale message would be taken for this lookup's
    void *address = dlsym(m_handle, name);
    if (!address)
        m_error = lastDlError("symbol has a null address");
    return address;
}

void SharedLibrary::close()
{
    if (m_handle)
        dlclose(m_handle);
    m_handle = nullptr;
}

}  // namespace platform
