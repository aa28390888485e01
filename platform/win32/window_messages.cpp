#include "window_messages.h"

#include <cstring>
#include <windows.h>

namespace platform {

namespace {

// Qt 5 hands messages to the native event filters under this type twice
// for a posted message: once from its event dispatcher, before
// DispatchMessage, and again from its window procedure, with a MSG of its
// own. A message must reach the filters once, as it did in Qt 4.
constexpr char kEventType[] = "windows_generic_MSG";

struct Sighting {
    const void *record = nullptr;
    MSG msg{};
    bool second = false;
};
thread_local Sighting t_last;

bool sameMessage(const MSG &a, const MSG &b)
{
    return a.hwnd == b.hwnd && a.message == b.message && a.wParam == b.wParam && a.lParam == b.lParam;
}

// The window procedure's sighting follows the dispatcher's at once, with
// the same message in another record; a repeat in the same record is a new
// message, or the same sighting read by the next filter.
bool isSecondSighting(const MSG *msg)
{
    if (t_last.record == msg && sameMessage(t_last.msg, *msg))
        return t_last.second;  // another filter reading the same sighting
    const bool second = !t_last.second && t_last.record && sameMessage(t_last.msg, *msg);
    t_last.record = msg;
    t_last.msg = *msg;
    t_last.second = second;
    return second;
}

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
    if (isSecondSighting(msg))
        return false;
    out->window = static_cast<Handle>(reinterpret_cast<ULONG_PTR>(msg->hwnd));
    out->id = msg->message;
    out->wParam = static_cast<std::uint64_t>(msg->wParam);
    out->lParam = static_cast<std::int64_t>(msg->lParam);
    return true;
}

}  // namespace platform
