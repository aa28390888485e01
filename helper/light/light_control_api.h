// The helper's side of the link to the device service: the link record, the
// start-up handshake and the posting of one light command.
#pragma once

#include "light_command.h"
#include "search_schedule.h"
#include "window_messages.h"

#include <QElapsedTimer>

#include <cstdint>
#include <functional>

class QObject;
class QTimer;

// The one record of the link, reached through g_lightApi.
struct LightControlApi {
    std::uint32_t discoverMsg = 0;
    std::uint32_t attachMsg = 0;
    std::uint32_t commandMsg = 0;
    platform::Handle serviceWnd = 0;  // 0 while no service has attached
    // Tells when the attached service's process ends, so a restarted service
    // is found without waiting for a post to fail.
    QObject *serviceWatch = nullptr;

    // Finding a service that starts late or restarts: our own handle for
    // DISCOVER, the single-shot timer that repeats it when the schedule says
    // (on the steady clock), and the command to show again once a service
    // attaches.
    platform::Handle ownWnd = 0;
    QTimer *rediscoverTimer = nullptr;
    SearchSchedule search;
    QElapsedTimer searchClock;
    bool hasLastCommand = false;
    protocol::LightCommand lastCommand;

    // Told after a service attached or ended, so another light output can
    // step in or aside.
    std::function<void()> serviceChanged;
};

extern LightControlApi *g_lightApi;

// Registers the three messages (protocol's names.h), broadcasts DISCOVER
// with `ownWindow`, and keeps repeating it as `search` says until a service
// attaches: often at first, rarely once nothing has answered for a while.
void startLightHandshake(LightControlApi *api, platform::Handle ownWindow);

// Sends DISCOVER now when no service is attached, and searches often again
// from now on.
void restartLightSearch(LightControlApi *api);

// Frees the record (and clears g_lightApi when it points to it).
void freeLightControlApi(LightControlApi *api);

// True when the command was posted to an attached service. A failed post to
// an attached service searches often again.
bool postLightCommand(LightControlApi *api, int zone, int effect, int speed, int red, int green, int blue);
bool postLightCommand(LightControlApi *api, const protocol::LightCommand &command);

// The attached service's process has ended: forget it and search again, so
// its successor is shown the current state as soon as it attaches.
void onLightServiceEnded(LightControlApi *api);

// Native event filter body: takes the service's ATTACH. Always false, so
// every message goes on to its normal handling.
bool attachEventFilter(void *message, long *result);
