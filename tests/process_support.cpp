#include "process_support.h"

#include "sample_lights.h"

#include <QDir>
#include <QLocalSocket>

#include <algorithm>
#include <cmath>
#include <csignal>

const QString kSpeaking = QString::fromStdString(sample::light("start").text);
const QString kSilent = QString::fromStdString(sample::light("stop").text);
const QString kShutdown = QString::fromStdString(sample::light("shutdown").text);
const QString kOthers = QString::fromStdString(sample::light("startother").text);
const QString kMute = QString::fromStdString(sample::light("mute").text);

QString sampleSettings(int otherTalking)
{
    QFile file(QString::fromStdString(sample::settingsFile()));
    const bool read = file.open(QIODevice::ReadOnly);
    Q_ASSERT(read);
    return QString::fromUtf8(file.readAll())
        .replace(QStringLiteral("otherTalkingBool=1"), QStringLiteral("otherTalkingBool=%1").arg(otherTalking));
}

QList<QPair<qint64, QString>> Child::timedCommands()
{
    static const QRegularExpression line(QStringLiteral("^(\\d+) zone=\\d+ effect=\\d+ speed=\\d+ rgb=#[0-9a-f]{6} "
                                                        "(wParam=0x[0-9a-f]{6,} lParam=0x[0-9a-f]{6,})$"));
    QList<QPair<qint64, QString>> found;
    for (const QString &text : output().split(QLatin1Char('\n'))) {
        if (const QRegularExpressionMatch match = line.match(text); match.hasMatch())
            found.append({match.captured(1).toLongLong(), match.captured(2)});
    }
    return found;
}

QStringList Child::commands()
{
    QStringList found;
    for (const auto &command : timedCommands())
        found << command.second;
    return found;
}

ProcessRig::ProcessRig() : env(QProcessEnvironment::systemEnvironment())
{
    QFile::setPermissions(m_runtime.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
}

std::unique_ptr<Child> ProcessRig::startService(const QStringList &extra)
{
    const auto endpoints = [this] { return QDir(m_runtime.path() + "/vossik-winmsg").entryList(QDir::System).size(); };
    const int before = endpoints();
    auto service =
        std::make_unique<Child>(QStringLiteral(LIGHTSERVICE_PATH),
                                QStringList{QStringLiteral("--log"), QStringLiteral("--no-window")} + extra, env);
    // Ready once its endpoint is open, so the helper's first DISCOVER finds it.
    const bool ready = service->started() && QTest::qWaitFor([&] { return endpoints() > before; }, 5000);
    return ready ? std::move(service) : nullptr;
}

std::unique_ptr<Child> ProcessRig::startHelper(const QStringList &arguments)
{
    auto helper = std::make_unique<Child>(QStringLiteral(HELPER_PATH), arguments, env);
    return helper->started() ? std::move(helper) : nullptr;
}

std::unique_ptr<Child> ProcessRig::startHost(const QString &pluginsDir, const QString &configDir,
                                             const QStringList &extra, bool withHelper, const QString &host,
                                             const QString &library)
{
    QStringList arguments{QStringLiteral("--plugin"),     library,   QStringLiteral("--plugins-dir"), pluginsDir,
                          QStringLiteral("--config-dir"), configDir, QStringLiteral("--timings")};
    if (kSanitized)
        arguments << QStringLiteral("--keep-loaded");
    if (withHelper)
        arguments << QStringLiteral("--helper") << QStringLiteral(HELPER_PATH);
    auto client = std::make_unique<Child>(host, arguments + extra, env);
    return client->started() ? std::move(client) : nullptr;
}

bool ProcessRig::waitForServer(bool present, int timeoutMs) const
{
    // Asked by connecting: a socket file can be there before, or after,
    // anyone listens on it.
    return QTest::qWaitFor(
        [&] {
            QLocalSocket probe;
            probe.connectToServer(serverPath());
            return probe.waitForConnected(100) == present;
        },
        timeoutMs);
}

ClientRig::ClientRig(const QString &configFolder)
    : configDir(home.path() + QLatin1Char('/') + configFolder + QLatin1Char('/')),
      pluginsDir(home.path() + QStringLiteral("/plugins"))
{
    settingsWritten = writeSettingsFile(configDir);
}

QString ClientRig::helperCopy() const
{
    return helperCopyIn(pluginsDir);
}

bool ClientRig::startChain(std::unique_ptr<Child> &service, std::unique_ptr<Child> &client)
{
    service = settingsWritten ? startService() : nullptr;
    client = service ? startClient() : nullptr;
    return client && waitForServer(true, 5000) && service->waitForCommands(1, 5000);
}

bool ClientRig::endHelper()
{
    const bool ended = killRunning(helperCopy());
    QFile::remove(serverPath());
    return ended;
}

QString helperCopyIn(const QString &pluginsDir)
{
    return pluginsDir + QStringLiteral("/Vossik_Plugin/TS3_Vossik_Helper_win64");
}

bool writeSettingsFile(const QString &folder, int otherTalking)
{
    QFile file(QDir(folder).filePath(QStringLiteral("TS3_Vossik_Plugin.ini")));
    return QDir().mkpath(folder) && file.open(QIODevice::WriteOnly | QIODevice::Truncate)
           && file.write(sampleSettings(otherTalking).toUtf8()) > 0;
}

void play(Child &client, const QStringList &lines)
{
    for (const QString &line : lines) {
        client.process().write((line + QLatin1Char('\n')).toUtf8());
        client.process().waitForBytesWritten(1000);
        QTest::qWait(30);
    }
}

bool playScript(Child &client, const QStringList &lines)
{
    client.process().write(lines.join(QLatin1Char('\n')).toUtf8() + '\n');
    client.process().closeWriteChannel();
    return client.finished();
}

bool hasSanitizerReport(const QString &errors)
{
    static const QRegularExpression report(QStringLiteral("(ERROR|SUMMARY): \\w+Sanitizer|runtime error:"));
    return report.match(errors).hasMatch();
}

bool shutDown(Child &client)
{
    play(client, {QStringLiteral("shutdown")});
    return client.finished() && client.process().exitCode() == 0 && !hasSanitizerReport(client.errors());
}

QList<QPair<QString, qint64>> entryPointTimings(const QString &text, int from)
{
    static const QRegularExpression line(QStringLiteral("^ts3host: (ts3plugin_\\w+) took (\\d+) us$"));
    QList<QPair<QString, qint64>> found;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = from; i < lines.size(); ++i) {
        if (const QRegularExpressionMatch match = line.match(lines.at(i)); match.hasMatch())
            found.append({match.captured(1), match.captured(2).toLongLong()});
    }
    return found;
}

EventCallTimes eventCallTimes(const QList<QPair<QString, qint64>> &calls)
{
    QList<qint64> took;
    for (const auto &call : calls) {
        static const QStringList events{"ts3plugin_onTalkStatusChangeEvent", "ts3plugin_onMenuItemEvent",
                                        "ts3plugin_onClientPokeEvent", "ts3plugin_onTextMessageEvent"};
        if (events.contains(call.first))
            took << call.second;
    }
    std::sort(took.begin(), took.end());
    EventCallTimes times;
    times.count = took.size();
    if (!took.isEmpty()) {
        times.p999 = took.at(qMax(0, int(std::ceil(took.size() * 0.999)) - 1));
        times.max = took.last();
    }
    return times;
}

QList<qint64> runningPids(const QString &program)
{
    QList<qint64> pids;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(entry));
        if (cmdline.open(QIODevice::ReadOnly) && cmdline.readAll().startsWith(QFile::encodeName(program) + '\0'))
            pids << entry.toLongLong();
    }
    return pids;
}

bool killRunning(const QString &program)
{
    for (const qint64 pid : runningPids(program))
        ::kill(pid_t(pid), SIGKILL);
    return QTest::qWaitFor([&] { return runningPid(program) == 0; }, 2000);
}
