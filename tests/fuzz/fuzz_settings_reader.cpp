// Arbitrary text as the settings file, read by the control window through
// the real QSettings path. Checks: whatever the file holds, every profile
// comes out with a zone, effect, speed and colour the device accepts.
#include "light_control_api.h"
#include "qt_wnd.h"
#include "settings_file.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

namespace {

bool inRange(const LightProfile &p)
{
    return (p.zone == 1 || p.zone == 2) && p.effect >= 0 && p.effect <= 4 && p.speed >= 0 && p.speed <= 3
           && p.red >= 0 && p.red <= 255 && p.green >= 0 && p.green <= 255 && p.blue >= 0 && p.blue <= 255;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_settings_reader";
    static char *argv[] = {name, nullptr};
    static const bool platform = qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(argc, argv);
    static QTemporaryDir dir;
    static Qt_wnd window;
    (void)platform;
    g_settingsDir = dir.path() + QLatin1Char('/');
    {
        QFile file(settingsFilePath());
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        file.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    QMetaObject::invokeMethod(&window, "loadConfig");
    for (int number = SpeakingProfile; number <= OthersProfile; ++number) {
        if (!inRange(window.profile(number)))
            std::abort();
    }
    return 0;
}
