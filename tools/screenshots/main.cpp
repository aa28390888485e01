// settings_screenshots SETTINGS_DIR OUTPUT_DIR: opens the "Color settings"
// window on the settings in SETTINGS_DIR (ending in a separator) and saves a
// PNG of each of its tabs into OUTPUT_DIR, for review by eye.
#include "config_wnd.h"
#include "desktop_session.h"
#include "light_control_api.h"
#include "light_router.h"
#include "settings_file.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QTabWidget>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: settings_screenshots SETTINGS_DIR/ OUTPUT_DIR\n");
        return 2;
    }
    Q_INIT_RESOURCE(settings);
    g_settingsDir = QString::fromLocal8Bit(argv[1]);
    const QString output = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(output);
    g_lightApi = new LightControlApi;  // no service: the previews only log that they failed
    LightRouter router(LightService::Zell, g_lightApi, nullptr);

    platform::useDialogFont(&app);
    auto *window = new ConfigWnd(&router);
    window->show();
    auto *tabs = window->findChild<QTabWidget *>(QStringLiteral("tabWidget"));
    for (int index = 0; index < tabs->count(); ++index) {
        tabs->setCurrentIndex(index);
        // Lets the window settle and paint the new tab before the grab.
        QEventLoop settle;
        QTimer::singleShot(200, &settle, &QEventLoop::quit);
        settle.exec();
        const QString file = QStringLiteral("%1/%2-%3.png")
                                 .arg(output)
                                 .arg(index + 1)
                                 .arg(tabs->tabText(index).replace(QLatin1Char(' '), QLatin1Char('-')));
        if (!window->grab().save(file)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return 1;
        }
        std::printf("%s\n", qPrintable(file));
    }
    window->close();
    freeLightControlApi(g_lightApi);
    return 0;
}
