// Real processes for tests: the helper, the stand-in device service and the
// stand-in voice client, each in a private runtime folder.
#pragma once

#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// A settings file whose profiles give the commands below; arg(1) is the
// other-speakers option.
extern const QString kSettings;

// Built with AddressSanitizer, as are the programs the tests start.
#ifdef __SANITIZE_ADDRESS__
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

// "A few milliseconds" for an entry point call on an event, with room for a
// loaded machine.
constexpr qint64 kEventBudgetUs = 10000;

// The commands of kSettings, as the service logs them.
extern const QString kSpeaking;
extern const QString kSilent;
extern const QString kShutdown;
extern const QString kOthers;
extern const QString kMute;

// A child process whose output is collected as it comes.
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
    QString output()
    {
        m_output += QString::fromUtf8(m_process.readAllStandardOutput());
        return m_output;
    }
    QString errors()
    {
        m_errors += QString::fromUtf8(m_process.readAllStandardError());
        return m_errors;
    }
    // The light commands the service has logged, as "wParam=… lParam=…".
    QStringList commands()
    {
        static const QRegularExpression line(QStringLiteral("^\\d+ zone=\\d+ effect=\\d+ speed=\\d+ rgb=#[0-9a-f]{6} "
                                                            "(wParam=0x[0-9a-f]{6,} lParam=0x[0-9a-f]{6,})$"));
        QStringList found;
        for (const QString &text : output().split(QLatin1Char('\n'))) {
            const QRegularExpressionMatch match = line.match(text);
            if (match.hasMatch())
                found << match.captured(1);
        }
        return found;
    }
    bool waitForCommands(int count, int timeoutMs = 3000)
    {
        return QTest::qWaitFor([&] { return commands().size() >= count; }, timeoutMs);
    }
    int failedPosts() { return errors().count(QStringLiteral("Failed to set vossik colors")); }
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
    QString serverPath() const;
    int endpointCount() const;
    // The stand-in service with --log, ready once its endpoint is open.
    std::unique_ptr<Child> startService(const QStringList &extra = {});
    // The stand-in client `host` on `library`, with --timings and these
    // folders; the helper is copied in for the plugin to start, unless
    // `withHelper` is false. Sanitized, it keeps the plugin loaded: the leak
    // checker runs at exit and cannot name code unloaded by then.
    std::unique_ptr<Child> startHost(const QString &host, const QString &library, const QString &pluginsDir,
                                     const QString &configDir, bool withHelper = true, const QStringList &extra = {});
    bool waitForServer(bool present, int timeoutMs = 3000) const;

private:
    QTemporaryDir m_runtime;
};

// Where the plugin loaded from `pluginsDir` starts its helper from.
QString helperCopyIn(const QString &pluginsDir);

// kSettings (other speakers option `otherTalking`) as the settings file in
// `folder`, made if missing.
bool writeSettingsFile(const QString &folder, int otherTalking = 1);

// Types script lines at the client's prompt, a little apart.
void play(Child &client, const QStringList &lines);

// How many lines the client's standard error holds so far.
int errorLineCount(Child &client);

// How long each entry point call took, in µs, from line `from` of the
// client's standard error on (ts3host --timings), or of `text`.
QList<QPair<QString, qint64>> entryPointTimings(Child &client, int from = 0);
QList<QPair<QString, qint64>> entryPointTimings(const QString &text, int from = 0);

// The talk and menu calls among `calls`: how many, the 99.9th percentile
// (nearest rank) and the slowest, in µs.
struct EventCallTimes {
    int count = 0;
    qint64 p999 = 0;
    qint64 max = 0;
};
EventCallTimes eventCallTimes(const QList<QPair<QString, qint64>> &calls);

// The pid of a running process started from `program`, or 0.
qint64 runningPid(const QString &program);

// Ends the process started from `program`, if one runs; false if it stays.
bool killRunning(const QString &program);

// The resident memory of process `pid` in KiB, now (VmRSS) or at its peak
// (VmHWM), or -1 once it has ended.
qint64 residentKiB(qint64 pid, const char *field = "VmRSS:");
