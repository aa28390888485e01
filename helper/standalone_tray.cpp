#include "standalone_tray.h"

#include "autostart.h"
#include "qt_wnd.h"
#include "remote_apps_client.h"
#include "tray_menu.h"
#include "tray_text.h"

#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QUrl>

std::unique_ptr<TrayMenu> makeStandaloneTray(Qt_wnd &window, remote_apps::Client &remoteApps, const QString &logFile,
                                             const QString &program)
{
    TrayActions actions;
    actions.openSettings = [&window] { window.openSettingsWindow(); };
    actions.lightsOn = [&window] { return window.lightsOn(); };
    actions.trayLightsOff = [&window] { return window.trayLightsOff(); };
    actions.setTrayLightsOff = [&window](bool off) { window.setTrayLightsOff(off); };
    actions.dismiss = [&window] { window.dismissSignals(); };
    actions.connectAgain = [&remoteApps] { remoteApps.pairAgain(); };
    actions.openLog = [logFile] {
        if (!QDesktopServices::openUrl(QUrl::fromLocalFile(logFile)))
            qDebug().noquote() << "Could not open the log" << logFile;
    };
    actions.startsWithSystem = [] { return platform::autostartEnabled(); };
    actions.setStartWithSystem = [program](bool on) {
        return on ? platform::enableAutostart(QDir::toNativeSeparators(program).toStdString())
                  : platform::disableAutostart();
    };
    actions.quit = [&window] { window.quit(); };

    auto tray = std::make_unique<TrayMenu>(std::move(actions));
    TrayMenu *menu = tray.get();
    const auto tell = [menu, &window, &remoteApps] {
        menu->setToolTip(trayToolTip(remoteApps.status(), remoteApps.servers(), window.processClients()));
    };
    QObject::connect(&remoteApps, &remote_apps::Client::statusChanged, menu, tell);
    QObject::connect(&window, &Qt_wnd::clientsChanged, menu, tell);
    // A waiting helper shows none: the one that serves has its own.
    QObject::connect(&window, &Qt_wnd::servingStarted, menu, [menu, tell] {
        tell();
        menu->show();
    });
    return tray;
}
