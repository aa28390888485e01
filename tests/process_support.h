// Real processes for tests: the helper, the stand-in device service and the
// stand-in voice client, each in a private runtime folder.
#pragma once

#include "process_probe.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// The sample settings file, whose profiles give the commands below, with
// the other-speakers option `otherTalking`.
QString sampleSettings(int otherTalking = 1);

// Built with AddressSanitizer, as are the programs the tests start.
#ifdef __SANITIZE_ADDRESS__
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

// "A few milliseconds" for an entry point call on an event, with room for a
// loaded machine.
constexpr qint64 kEventBudgetUs = 10000;

// The commands of the sample settings, as the service logs them.
extern const QString kSpeaking, kSilent, kShutdown, kOthers, kMute;

// A child process whose output is collected as it comes; killed if it
// still runs at the end.
class Child
{
public:
    Child(const QString &program, const QStringList &arguments, const QProcessEnvironment &env)
    {
        m_process.setProcessEnvironment(env);
        m_process.start(program, arguments);
    }
    ~Child()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(2000);
        }
    }
    bool started() { return m_process.waitForStarted(5000); }
    QString output() { return m_output += QString::fromUtf8(m_process.readAllStandardOutput()); }
    QString errors() { return m_errors += QString::fromUtf8(m_process.readAllStandardError()); }
    // The light commands the service has logged, as "wParam=… lParam=…",
    // and with the ms of the service's clock at which each arrived.
    QStringList commands();
    QList<QPair<qint64, QString>> timedCommands();
    bool waitForCommands(int count, int timeoutMs = 3000)
    {
        return QTest::qWaitFor([&] { return commands().size() >= count; }, timeoutMs);
    }
    // Until the last light command is `command`.
    bool waitForLast(const QString &command, int timeoutMs = 3000)
    {
        return QTest::qWaitFor([&] { return commands().endsWith(command); }, timeoutMs);
    }
    bool finished(int timeoutMs = 5000)
    {
        return m_process.state() == QProcess::NotRunning || m_process.waitForFinished(timeoutMs);
    }
    QProcess &process() { return m_process; }

private:
    QProcess m_process;
    QString m_output;
    QString m_errors;
};

// A private runtime folder, the environment that points children at it, and
// what runs there.
class ProcessRig
{
public:
    ProcessRig();
    QProcessEnvironment env;
    QString serverPath() const { return m_runtime.path() + QStringLiteral("/ts3VossikPlugin"); }
    // The stand-in service with --log, ready once its endpoint is open.
    std::unique_ptr<Child> startService(const QStringList &extra = {});
    // A helper of the build on these arguments.
    std::unique_ptr<Child> startHelper(const QStringList &arguments);
    // The stand-in client on these folders with --timings; the helper is
    // copied in for the plugin to start, unless `withHelper` is false.
    // Sanitized, it keeps the plugin loaded: the leak checker runs at exit
    // and cannot name code unloaded by then.
    std::unique_ptr<Child> startHost(const QString &pluginsDir, const QString &configDir, const QStringList &extra = {},
                                     bool withHelper = true, const QString &host = TS3HOST_PATH,
                                     const QString &library = PLUGIN_PATH);
    bool waitForServer(bool present, int timeoutMs = 3000) const;

private:
    QTemporaryDir m_runtime;
};

// A rig with a client's folders in a home of its own, the sample settings (others
// option 1) in the configuration folder.
class ClientRig : public ProcessRig
{
public:
    explicit ClientRig(const QString &configFolder = QStringLiteral("config"));
    ~ClientRig() { endHelper(); }  // a helper the plugin started, also when a check failed
    QTemporaryDir home;
    const QString configDir;
    const QString pluginsDir;
    bool settingsWritten = false;
    QString helperCopy() const;
    std::unique_ptr<Child> startClient(const QStringList &extra = {})
    {
        return startHost(pluginsDir, configDir, extra);
    }
    // A client whose plugin has no helper to start, so talks to one that runs.
    std::unique_ptr<Child> startBareClient(const QStringList &extra = {})
    {
        return startHost(home.path() + QStringLiteral("/bare"), configDir, extra, false);
    }
    // The service, then a client whose plugin starts the helper; ready once
    // the helper has shown the silent profile.
    bool startChain(std::unique_ptr<Child> &service, std::unique_ptr<Child> &client);
    // Ends a helper the plugin started and a failed check left running, and
    // the name a killed one left: either would hold the next test's server.
    bool endHelper();
};

// Where the plugin loaded from `pluginsDir` starts its helper from.
QString helperCopyIn(const QString &pluginsDir);

// the sample settings (other speakers option `otherTalking`) as the settings file in
// `folder`, made if missing.
bool writeSettingsFile(const QString &folder, int otherTalking = 1);

// Types script lines at the client's prompt, a little apart.
void play(Child &client, const QStringList &lines);
// Gives a client started with "--script -" its whole script, and waits
// for its end.
bool playScript(Child &client, const QStringList &lines);

bool hasSanitizerReport(const QString &errors);

// The client told to shut down ends cleanly, with nothing for the
// sanitizers to report: its output holds the plugin's, and that of a
// helper the plugin started.
bool shutDown(Child &client);

// How long each entry point call took, in µs, from line `from` of the
// client's standard error on (ts3host --timings), or of `text`.
QList<QPair<QString, qint64>> entryPointTimings(const QString &text, int from = 0);

// The talk, menu, poke and message calls among `calls`: how many, the 99.9th percentile
// (nearest rank) and the slowest, in µs.
struct EventCallTimes {
    int count = 0;
    qint64 p999 = 0;
    qint64 max = 0;
};
EventCallTimes eventCallTimes(const QList<QPair<QString, qint64>> &calls);

// The pids of the running processes started from `program`; the first, or 0.
QList<qint64> runningPids(const QString &program);
inline qint64 runningPid(const QString &program)
{
    return runningPids(program).value(0);
}

// Ends the process started from `program`, if one runs; false if it stays.
bool killRunning(const QString &program);
