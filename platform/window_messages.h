// Registered window messages: the one channel between the helper and the
// device service. On Windows these are the real user32 calls; elsewhere a
// stand-in with the same meaning (see window_messages_posix.cpp).
//
// Deliberately free of Qt so the Windows file builds on its own.
#pragma once

#include <cstdint>

namespace platform {

// A window handle as it travels in wParam: an HWND on Windows, an endpoint
// handle elsewhere. 0 means "none".
using Handle = std::uint64_t;

// HWND_BROADCAST: a post to it reaches every top-level window (every
// endpoint on the stand-in).
constexpr Handle kBroadcast = 0xFFFF;

// The fields of a native window message that the helper reads.
struct Message {
    Handle window = 0;     // the window the message was posted to
    std::uint32_t id = 0;  // message id
    std::uint64_t wParam = 0;
    std::int64_t lParam = 0;
};

// RegisterWindowMessageA: the same name gives the same id in every process,
// in 0xC000..0xFFFF. Returns 0 on failure.
std::uint32_t registerMessage(const char *name);

// PostMessageW to one window. Never blocks; false when the window is gone or
// its queue is full.
bool postMessage(Handle window, std::uint32_t id, std::uint64_t wParam, std::int64_t lParam);

// PostMessageA to HWND_BROADCAST. Never blocks.
bool broadcastMessage(std::uint32_t id, std::uint64_t wParam, std::int64_t lParam);

// The event type under which window messages reach the application's native
// event filters.
const char *nativeEventType();

// Reads a native message handed to a native event filter. False when
// eventType is not a window message.
bool readNativeMessage(const char *eventType, const void *message, Message *out);

}  // namespace platform
