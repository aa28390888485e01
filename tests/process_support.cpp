#include "process_support.h"

#include <QDir>

const QString kSettings = QStringLiteral(
    "[colors]\n"
    "radioZone=2\nradioEffect=3\nradioSpeed=1\nm_redValue=16\nm_greenValue=32\nm_blueValue=48\n"
    "radioZone_2=1\nradioEffect_2=1\nradioSpeed_2=2\nm_redValue_2=0\nm_greenValue_2=0\nm_blueValue_2=255\n"
    "radioZone_3=1\nradioEffect_3=0\nradioSpeed_3=0\nm_redValue_3=9\nm_greenValue_3=9\nm_blueValue_3=9\n"
    "radioZone_4=2\nradioEffect_4=4\nradioSpeed_4=3\nm_redValue_4=255\nm_greenValue_4=128\nm_blueValue_4=0\n"
    "otherTalkingBool=%1\n");

// The commands of kSettings, as the service logs them.
const QString kSpeaking = QStringLiteral("wParam=0x020301 lParam=0x102030");
const QString kSilent = QStringLiteral("wParam=0x010102 lParam=0x0000ff");
const QString kShutdown = QStringLiteral("wParam=0x010000 lParam=0x090909");
const QString kOthers = QStringLiteral("wParam=0x020403 lParam=0xff8000");
const QString kMute = QStringLiteral("wParam=0x010203 lParam=0xff0000");

ProcessRig::ProcessRig() : env(QProcessEnvironment::systemEnvironment())
{
    QFile::setPermissions(m_runtime.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
}

QString ProcessRig::serverPath() const
{
    return m_runtime.path() + QStringLiteral("/ts3VossikPlugin");
}

int ProcessRig::endpointCount() const
{
    return QDir(m_runtime.path() + QStringLiteral("/vossik-winmsg")).entryList(QDir::System).size();
}

std::unique_ptr<Child> ProcessRig::startService(const QStringList &extra)
{
    const int before = endpointCount();
    auto service = std::make_unique<Child>(QStringLiteral(LIGHTSERVICE_PATH),
                                           QStringList{QStringLiteral("--log"), QStringLiteral("--no-window")} + extra, env);
    // Ready once its endpoint is open, so the helper's first DISCOVER finds it.
    const bool ready = service->started() && QTest::qWaitFor([&] { return endpointCount() > before; }, 5000);
    return ready ? std::move(service) : nullptr;
}

bool ProcessRig::waitForServer(bool present, int timeoutMs) const
{
    return QTest::qWaitFor([&] { return QFile::exists(serverPath()) == present; }, timeoutMs);
}
