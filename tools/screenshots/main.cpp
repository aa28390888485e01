// settings_screenshots SETTINGS_DIR OUTPUT_DIR: opens the "Color settings"
// window on the settings in SETTINGS_DIR (ending in a separator) and saves a
// PNG of each of its tabs into OUTPUT_DIR, and one more of the last tab with
// a timed signal chosen, whose "Show for" box is then enabled, for review by eye.
#include "config_wnd.h"
#include "desktop_session.h"
#include "light_control_api.h"
#include "light_router.h"
#include "settings_file.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QRadioButton>
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
    // The current tab as <number>-<title><extra>.png.
    const auto save = [&](const QString &extra) {
        // Lets the window settle and paint the new tab before the grab.
        QEventLoop settle;
        QTimer::singleShot(200, &settle, &QEventLoop::quit);
        settle.exec();
        const int index = tabs->currentIndex();
        const QString file = QStringLiteral("%1/%2-%3%4.png")
                                 .arg(output)
                                 .arg(index + 1)
                                 .arg(tabs->tabText(index).replace(QLatin1Char(' '), QLatin1Char('-')), extra);
        if (!window->grab().save(file)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return false;
        }
        std::printf("%s\n", qPrintable(file));
        return true;
    };
    for (int index = 0; index < tabs->count(); ++index) {
        tabs->setCurrentIndex(index);
        if (!save(QString()))
            return 1;
    }
    // Chosen as a click chooses it: shown, not previewed.
    window->findChild<QRadioButton *>(QStringLiteral("radioStatePoked"))->click();
    if (!save(QStringLiteral("-Poked")))
        return 1;
    window->close();
    freeLightControlApi(g_lightApi);
    return 0;
}
