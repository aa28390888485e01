#include "helper_app.h"

#include "attach_event_filter.h"
#include "desktop_session.h"
#include "device_settings.h"
#include "helper_log.h"
#include "light_control_api.h"
#include "message_endpoint.h"
#include "names.h"
#include "openrgb_client.h"
#include "qt_wnd.h"
#include "remote_apps_client.h"
#include "running_helper.h"
#include "session_end.h"
#include "settings_file.h"
#include "settings_folder.h"
#include "standalone_tray.h"
#include "termination_request.h"
#include "tray_menu.h"

#include <QApplication>
#include <QDebug>

#include <cstring>
#include <memory>
#include <optional>

namespace {

// The command line: the settings folder (as the plugin starts the helper),
// or --standalone with an optional folder, which is also what a user who
// starts the program by hand gets; --settings starts a standalone helper
// with its settings window open when none runs to ask.
struct Start {
    bool standalone = false;
    QString folder;
    bool openSettings = false;
};
std::optional<Start> startOf(const QStringList &arguments)
{
    const QString first = arguments.value(1);
    if (arguments.size() == 1)
        return Start{true, platform::standaloneSettingsFolder()};
    if (arguments.size() == 2 && first == QLatin1String(protocol::kSettingsOption))
        return Start{true, platform::standaloneSettingsFolder(), true};
    if (arguments.size() == 2 && first != QLatin1String(protocol::kStandaloneOption))
        return Start{false, first};
    if ((arguments.size() == 2 || arguments.size() == 3) && first == QLatin1String(protocol::kStandaloneOption))
        return Start{true, arguments.size() == 3 ? arguments.at(2) : platform::standaloneSettingsFolder()};
    return std::nullopt;
}

// The options that ask the running helper, each the only argument; ASCII,
// so read before any application object exists.
std::optional<protocol::CommandWord> requestOf(int argc, char *argv[])
{
    if (argc != 2)
        return std::nullopt;
    if (std::strcmp(argv[1], protocol::kQuitOption) == 0)
        return protocol::CommandWord::Quit;
    if (std::strcmp(argv[1], protocol::kSettingsOption) == 0)
        return protocol::CommandWord::Wnd;
    return std::nullopt;
}

// The exit status of a request; nothing when --settings found no helper
// and this one is to start.
std::optional<int> ask(protocol::CommandWord request)
{
    const RequestResult result = askRunningHelper(request);
    if (result == RequestResult::Done)
        return 0;
    if (result == RequestResult::NoneRuns && request == protocol::CommandWord::Wnd)
        return std::nullopt;
    qInfo() << (result == RequestResult::NoneRuns ? "No Vossik helper runs"
                                                  : "The running Vossik helper did not answer");
    return 1;
}

}  // namespace

int runHelper(int argc, char *argv[])
{
    installHelperLog();
    if (const std::optional<protocol::CommandWord> request = requestOf(argc, argv)) {
        std::optional<int> status;
        {
            QCoreApplication asking(argc, argv);  // no display needed to ask
            status = ask(*request);
        }
        if (status)
            return *status;
    }
    QApplication app(argc, argv);
    const std::optional<Start> start = startOf(QCoreApplication::arguments());
    if (!start) {
        qDebug() << "test";
        return 0;
    }
    g_settingsDir = start->folder;
    logIntoFolder(g_settingsDir);
    // The settings window's pictures and the icons live in static libraries: register them.
    Q_INIT_RESOURCE(settings);
    Q_INIT_RESOURCE(icons);
    platform::useDialogFont(&app);

    // The tests' way to see the idle end without waiting a minute.
    bool idleSet = false;
    const int idleLimitMs = qEnvironmentVariableIntValue("VOSSIK_HELPER_IDLE_MS", &idleSet);
    // And to see a search for a light device slow down without waiting minutes.
    bool fastSearchSet = false;
    const int fastSearchMs = qEnvironmentVariableIntValue("VOSSIK_SEARCH_FAST_MS", &fastSearchSet);
    const qint64 searchFastPhaseMs = fastSearchSet && fastSearchMs >= 0 ? fastSearchMs : SearchSchedule::kFastPhaseMs;
    DeviceSettings device = readDeviceSettings();
    device.openrgb.searchFastPhaseMs = searchFastPhaseMs;
    g_lightApi = new LightControlApi;  // freed by the control window, as it always was
    g_lightApi->search = SearchSchedule(searchFastPhaseMs);
    std::unique_ptr<OpenRgbClient> server;
    if (device.service != LightService::Zell)
        server = std::make_unique<OpenRgbClient>(device.openrgb);
    LightRouter router(device.service, device.service == LightService::OpenRgb ? nullptr : g_lightApi, server.get());
    // TeamSpeak 5/6, once this helper serves; the tests shorten its intervals.
    bool retrySet = false;
    const int retryMs = qEnvironmentVariableIntValue(remote_apps::kRetryVariable, &retrySet);
    remote_apps::Client remoteApps(remote_apps::readSettings, remote_apps::storeKey,
                                   retrySet && retryMs > 0 ? retryMs : remote_apps::Pairing::kFirstIntervalMs);
    // Declared after the output it shows on and the client it serves, so it ends first.
    Qt_wnd window(router, nullptr, idleSet && idleLimitMs > 0 ? idleLimitMs : Qt_wnd::kIdleLimitMs, &remoteApps,
                  start->standalone);
    QObject::connect(&window, &Qt_wnd::quitRequested, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    std::unique_ptr<TrayMenu> tray;
    if (start->standalone) {
        // A tray program: its control window never shows, and it ends when
        // asked (a request, the session's end, the tray's Quit), not when
        // its last window closes. Not on a session manager's save request:
        // that may be a checkpoint, with the session going on.
        app.setQuitOnLastWindowClosed(false);
        platform::onTerminationRequest(&window, [&window] { window.quit(); });
        platform::onSessionEnd(&window, [&window] { window.quit(); });
        tray = makeStandaloneTray(window, remoteApps, g_settingsDir + QLatin1String(protocol::kLogFileName),
                                  QCoreApplication::applicationFilePath());
        if (start->openSettings)
            QObject::connect(&window, &Qt_wnd::servingStarted, &window, &Qt_wnd::openSettingsWindow);
        window.winId();  // the native window the light link's messages need
    } else {
        platform::onTerminationRequest(&window, [&window] { window.endAllSessions(); });
        // Hidden when the plugin starts it, yet shown for Qt: an open settings
        // window must not be the last window whose closing ends the program.
        if (platform::startedHidden())
            window.setAttribute(Qt::WA_DontShowOnScreen);
        window.show();
    }
    AttachEventFilter filter;
    app.installNativeEventFilter(&filter);
    if (device.service != LightService::OpenRgb) {
        g_lightApi->serviceChanged = [&router] { router.onServiceChanged(); };
        startLightHandshake(g_lightApi, platform::openEndpoint(&window));
    }
    const int status = app.exec();
    app.removeNativeEventFilter(&filter);
    return status;
}
