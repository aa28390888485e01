#include "light_control_api.h"

#include "window_owner_watch.h"

#include <QDebug>
#include <QTimer>

LightControlApi *g_lightApi = nullptr;

namespace {

constexpr char kDiscoverName[] = "WM_VOSSIK_ZELL_LIGHT_CONTROL_API_DISCOVER";
constexpr char kAttachName[] = "WM_VOSSIK_ZELL_LIGHT_CONTROL_API_ATTACH";
constexpr char kCommandName[] = "WM_VOSSIK_ZELL_LIGHT_CONTROL_API";

void broadcastDiscover(const LightControlApi *api)
{
    winmsg::broadcastMessage(api->discoverMsg, api->ownWnd, 0);
}

void searchForService(LightControlApi *api)
{
    if (api->rediscoverTimer && !api->rediscoverTimer->isActive())
        api->rediscoverTimer->start();
}

void onServiceAttached(LightControlApi *api)
{
    delete api->serviceWatch;
    api->serviceWatch = winmsg::watchWindowOwner(api->serviceWnd, [api] { onLightServiceEnded(api); });
    if (api->rediscoverTimer)
        api->rediscoverTimer->stop();
    // Show the current state on a service that has just come (back).
    if (api->hasLastCommand && !postLightCommand(api, api->lastCommand))
        qDebug() << "Failed to set vossik colors";
}

}  // namespace

LightCommand encodeLightCommand(int zone, int effect, int speed, int red, int green, int blue)
{
    LightCommand command;
    command.wParam = static_cast<std::uint64_t>((zone << 16) | (effect << 8) | speed);
    command.lParam = static_cast<std::int64_t>((red << 16) | (green << 8) | blue);
    return command;
}

LightCommand muteSignal()
{
    return encodeLightCommand(LightZoneEvent, LightEffectBlinking, LightSpeedFast, 255, 0, 0);
}

void startLightHandshake(LightControlApi *api, winmsg::Handle ownWindow)
{
    api->discoverMsg = winmsg::registerMessage(kDiscoverName);
    api->attachMsg = winmsg::registerMessage(kAttachName);
    api->commandMsg = winmsg::registerMessage(kCommandName);
    api->ownWnd = ownWindow;
    if (!api->rediscoverTimer) {
        api->rediscoverTimer = new QTimer;
        api->rediscoverTimer->setInterval(kRediscoverIntervalMs);
        QObject::connect(api->rediscoverTimer, &QTimer::timeout, [api] { broadcastDiscover(api); });
    }
    broadcastDiscover(api);
    if (!api->serviceWnd)
        searchForService(api);
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

bool postLightCommand(LightControlApi *api, const LightCommand &command)
{
    api->lastCommand = command;
    api->hasLastCommand = true;
    if (!api->serviceWnd) {
        searchForService(api);
        return false;
    }
    if (!winmsg::postMessage(api->serviceWnd, api->commandMsg, command.wParam, command.lParam)) {
        searchForService(api);
        return false;
    }
    return true;
}

bool postLightCommand(LightControlApi *api, int zone, int effect, int speed, int red, int green, int blue)
{
    return postLightCommand(api, encodeLightCommand(zone, effect, speed, red, green, blue));
}

void onLightServiceEnded(LightControlApi *api)
{
    qDebug() << "Light service ended, looking for it again";
    api->serviceWnd = 0;  // its watch has fired and stays until the next attach
    searchForService(api);
}

bool attachEventFilter(void *message, long *result)
{
    Q_UNUSED(result);
    LightControlApi *api = g_lightApi;
    if (!api)
        return false;
    winmsg::Message native;
    if (!winmsg::readNativeMessage(winmsg::nativeEventType(), message, &native) || native.id != api->attachMsg
        || api->attachMsg == 0)
        return false;
    qDebug() << "VOSSIK ATTACH";
    if (native.lParam == 1) {
        api->serviceWnd = native.wParam;
        onServiceAttached(api);
    }
    return false;
}
