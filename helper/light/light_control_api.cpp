#include "light_control_api.h"

#include "names.h"
#include "window_owner_watch.h"

#include <QDebug>
#include <QTimer>

LightControlApi *g_lightApi = nullptr;

namespace {

void broadcastDiscover(const LightControlApi *api)
{
    platform::broadcastMessage(api->discoverMsg, api->ownWnd, 0);
}

// Waits as long as the schedule says after an attempt made now.
void scheduleNextDiscover(LightControlApi *api)
{
    api->rediscoverTimer->start(int(api->search.nextDelayMs(api->searchClock.elapsed())));
}

void discoverNow(LightControlApi *api)
{
    broadcastDiscover(api);
    scheduleNextDiscover(api);
}

// The service has just gone: search often again. A DISCOVER already due
// sooner stays, so posts failing one after the other never put it off.
void searchFastAgain(LightControlApi *api)
{
    if (!api->rediscoverTimer)
        return;
    const qint64 now = api->searchClock.elapsed();
    api->search.restart(now);
    const qint64 delay = api->search.nextDelayMs(now);
    if (!api->rediscoverTimer->isActive() || api->rediscoverTimer->remainingTime() > delay)
        api->rediscoverTimer->start(int(delay));
}

void onServiceAttached(LightControlApi *api)
{
    delete api->serviceWatch;
    api->serviceWatch = platform::watchWindowOwner(api->serviceWnd, [api] { onLightServiceEnded(api); });
    if (api->rediscoverTimer)
        api->rediscoverTimer->stop();
    // Show the current state on a service that has just come (back).
    if (api->hasLastCommand && !postLightCommand(api, api->lastCommand))
        qDebug() << "Failed to set vossik colors";
    if (api->serviceChanged)
        api->serviceChanged();
}

}  // namespace

void startLightHandshake(LightControlApi *api, platform::Handle ownWindow)
{
    api->discoverMsg = platform::registerMessage(protocol::kLightDiscoverMessage);
    api->attachMsg = platform::registerMessage(protocol::kLightAttachMessage);
    api->commandMsg = platform::registerMessage(protocol::kLightCommandMessage);
    api->ownWnd = ownWindow;
    if (!api->rediscoverTimer) {
        api->rediscoverTimer = new QTimer;
        api->rediscoverTimer->setSingleShot(true);
        QObject::connect(api->rediscoverTimer, &QTimer::timeout, [api] { discoverNow(api); });
    }
    api->searchClock.start();
    api->search.restart(api->searchClock.elapsed());
    broadcastDiscover(api);
    if (!api->serviceWnd)
        scheduleNextDiscover(api);
}

void restartLightSearch(LightControlApi *api)
{
    if (api->serviceWnd || !api->rediscoverTimer)
        return;
    api->search.restart(api->searchClock.elapsed());
    discoverNow(api);
}

void freeLightControlApi(LightControlApi *api)
{
    if (!api)
        return;
    delete api->rediscoverTimer;
    delete api->serviceWatch;
    if (g_lightApi == api)
        g_lightApi = nullptr;
    delete api;
}

bool postLightCommand(LightControlApi *api, const protocol::LightCommand &command)
{
    api->lastCommand = command;
    api->hasLastCommand = true;
    // Without a service the search goes on at its own pace.
    if (!api->serviceWnd)
        return false;
    if (!platform::postMessage(api->serviceWnd, api->commandMsg, command.wParam, command.lParam)) {
        searchFastAgain(api);
        return false;
    }
    return true;
}

bool postLightCommand(LightControlApi *api, int zone, int effect, int speed, int red, int green, int blue)
{
    return postLightCommand(api, protocol::LightCommand::pack(zone, effect, speed, red, green, blue));
}

void onLightServiceEnded(LightControlApi *api)
{
    qDebug() << "Light service ended, looking for it again";
    api->serviceWnd = 0;  // its watch has fired and stays until the next attach
    searchFastAgain(api);
    if (api->serviceChanged)
        api->serviceChanged();
}

bool attachEventFilter(void *message, long *result)
{
    Q_UNUSED(result);
    LightControlApi *api = g_lightApi;
    if (!api)
        return false;
    platform::Message native;
    if (!platform::readNativeMessage(platform::nativeEventType(), message, &native) || native.id != api->attachMsg
        || api->attachMsg == 0)
        return false;
    qDebug() << "VOSSIK ATTACH";
    if (native.lParam == protocol::kAttachLParam) {
        api->serviceWnd = native.wParam;
        onServiceAttached(api);
    }
    return false;
}
