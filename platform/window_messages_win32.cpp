#include "window_messages.h"

#include <cstring>
#include <windows.h>

namespace winmsg {

namespace {

// Qt hands every message of its window procedure to the native event
// filters under this type; posted messages also pass the dispatcher under
// "windows_dispatcher_MSG", which is left out so nothing is seen twice.
constexpr char kEventType[] = "windows_generic_MSG";

HWND toHwnd(Handle handle)
{
    return reinterpret_cast<HWND>(static_cast<ULONG_PTR>(handle));
}

}  // namespace

std::uint32_t registerMessage(const char *name)
{
    return RegisterWindowMessageA(name);
}

bool postMessage(Handle window, std::uint32_t id, std::uint64_t wParam, std::int64_t lParam)
{
    return PostMessageW(toHwnd(window), id, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam)) == TRUE;
}

bool broadcastMessage(std::uint32_t id, std::uint64_t wParam, std::int64_t lParam)
{
    return PostMessageA(HWND_BROADCAST, id, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam)) != 0;
}

const char *nativeEventType()
{
    return kEventType;
}

bool readNativeMessage(const char *eventType, const void *message, Message *out)
{
    if (!eventType || !message || std::strcmp(eventType, kEventType) != 0)
        return false;
    const MSG *msg = static_cast<const MSG *>(message);
    out->window = static_cast<Handle>(reinterpret_cast<ULONG_PTR>(msg->hwnd));
    out->id = msg->message;
    out->wParam = static_cast<std::uint64_t>(msg->wParam);
    out->lParam = static_cast<std::int64_t>(msg->lParam);
    return true;
}

}  // namespace winmsg
