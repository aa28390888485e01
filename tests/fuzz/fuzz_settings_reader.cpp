// Arbitrary text as the settings file, read by the control window through
// the real QSettings path. Checks: whatever the file holds, every profile
// comes out with a zone, effect, speed and colour the device accepts.
#include "light_control_api.h"
#include "light_router.h"
#include "qt_wnd.h"
#include "settings_file.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

bool inRange(const LightProfile &p)
{
    return (p.zone == 1 || p.zone == 2) && p.effect >= 0 && p.effect <= 4 && p.speed >= 0 && p.speed <= 3 && p.red >= 0
           && p.red <= 255 && p.green >= 0 && p.green <= 255 && p.blue >= 0 && p.blue <= 255;
}

// The reader's complaints about odd values are expected here by the
// thousand; writing them out would be most of the work.
void discardMessage(QtMsgType, const QMessageLogContext &, const QString &) {}

// QSettings reads a file again only when its size or modification time
// changed; inputs of one size written within the same millisecond would
// otherwise be checked against the previous input's values.
void markAsNew(const QString &path)
{
    static long long seconds = 1000000000;
    const timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ++seconds;
    if (::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) != 0)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_settings_reader";
    static char *argv[] = {name, nullptr};
    [[maybe_unused]] static const bool platform = qputenv("QT_QPA_PLATFORM", "offscreen");
    [[maybe_unused]] static const QtMessageHandler quiet = qInstallMessageHandler(discardMessage);
    static QApplication app(argc, argv);
    // In memory when the system offers it: the file is rewritten for every input.
    static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                                 ? QStringLiteral("/dev/shm/fuzz_settings_reader-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/fuzz_settings_reader-XXXXXX"));
    static LightRouter noLight(LightService::Zell, nullptr, nullptr);
    static Qt_wnd window(noLight);
    g_settingsDir = dir.path() + QLatin1Char('/');
    {
        QFile file(settingsFilePath());
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        file.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    markAsNew(settingsFilePath());
    QMetaObject::invokeMethod(&window, "loadConfig");
    for (int number = SpeakingProfile; number <= OthersProfile; ++number) {
        if (!inRange(window.profile(number)))
            std::abort();
    }
    return 0;
}
