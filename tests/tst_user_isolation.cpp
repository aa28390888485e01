// Another user of the machine neither hears this user's voice chat nor gets
// this user's processes to write where it points: the command server and the
// message endpoints live only in a folder that is the user's own.
#include "command_server_name.h"
#include "process_support.h"
#include "runtime_dir.h"
#include "test_support.h"
#include "window_messages_posix.h"

#include <QDir>
#include <QScopeGuard>
#include <QtTest>

#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <csignal>
#include <grp.h>
#include <sys/wait.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace {

// The second user's ids: nobody's, which tst_openrgb_session's other
// server runs as too; false without root, which alone can become it.
bool neighbour(uid_t *uid, gid_t *gid)
{
    const passwd *entry = ::getpwnam("nobody");
    if (::geteuid() != 0 || !entry)
        return false;
    *uid = entry->pw_uid;
    *gid = entry->pw_gid;
    return true;
}

// Listens on the sockets `paths` and writes to `report` what reaches them:
// "ready", then a line for each connection and each read.
void listenAndTell(const std::vector<QByteArray> &paths, int report)
{
    std::vector<pollfd> watched;
    for (const QByteArray &path : paths) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, path.constData(), sizeof address.sun_path);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 || ::listen(fd, 8) != 0
            || ::chmod(path.constData(), 0777) != 0)
            return;
        watched.push_back({fd, POLLIN, 0});
    }
    const auto tell = [report](const char *line) { return ::write(report, line, std::strlen(line)) > 0; };
    tell("ready\n");
    for (;;) {
        ::poll(watched.data(), watched.size(), -1);
        for (std::size_t i = 0; i < watched.size(); ++i) {
            char bytes[256];
            if (!watched[i].revents)
                continue;
            if (i < paths.size()) {
                watched.push_back({::accept(watched[i].fd, nullptr, nullptr), POLLIN, 0});
                tell("connection\n");
            } else if (::read(watched[i].fd, bytes, sizeof bytes) > 0) {
                tell("received\n");
            } else {
                ::close(watched[i].fd);
                watched[i].fd = -1;  // passed over by poll from now on
            }
        }
    }
}

// The second user listening where the first one's names used to be: a
// child of ours that has become that user. Forked, not started, so the
// second user need not be able to run anything of ours.
class Neighbour
{
public:
    Neighbour(uid_t uid, gid_t gid, const QStringList &paths)
    {
        std::vector<QByteArray> names;
        for (const QString &path : paths)
            names.push_back(QFile::encodeName(path));
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            if (::setgroups(0, nullptr) == 0 && ::setgid(gid) == 0 && ::setuid(uid) == 0)
                listenAndTell(names, ends[1]);
            ::_exit(1);
        }
        ::close(ends[1]);
        m_report = ends[0];
        ::fcntl(m_report, F_SETFL, O_NONBLOCK);
    }
    ~Neighbour()
    {
        if (m_pid > 0 && ::kill(m_pid, SIGKILL) == 0)
            ::waitpid(m_pid, nullptr, 0);
        ::close(m_report);
    }
    QByteArray heard()
    {
        char bytes[256];
        for (ssize_t got; (got = ::read(m_report, bytes, sizeof bytes)) > 0;)
            m_heard.append(bytes, int(got));
        return m_heard;
    }

private:
    pid_t m_pid = -1;
    int m_report = -1;
    QByteArray m_heard;
};

// Makes `path` a folder with exactly `mode`, owned by `uid` (0: by us).
bool makeFolder(const QString &path, mode_t mode, uid_t uid, gid_t gid)
{
    const QByteArray name = QFile::encodeName(path);
    return ::mkdir(name.constData(), mode) == 0 && ::chmod(name.constData(), mode) == 0
           && (!uid || ::chown(name.constData(), uid, gid) == 0);
}

}  // namespace

class TestUserIsolation : public QObject
{
    Q_OBJECT

private:
    QByteArray m_home = qgetenv("HOME");
    QByteArray m_runtime = qgetenv("XDG_RUNTIME_DIR");

private slots:
    void cleanup()
    {
        qputenv("HOME", m_home);
        qputenv("XDG_RUNTIME_DIR", m_runtime);
    }

    // Which folder holds the rendezvous points, and the command server's
    // name in it: never one that another user made or can enter.
    void theRuntimeFolderIsTheUsersOwnOrNone_data()
    {
        // clang-format off
        // XDG_RUNTIME_DIR ("": unset); <home>/.vossik beforehand ("": nothing); the socket path's length (0: as
        // it comes); the folder chosen ("xdg", "home", or "": none); the problem logged (%1: <home>/.vossik).
        columns<QString, QString, int, QString, QString>({"xdg", "inHome", "socketPathBytes", "chosen", "problem"});
        const QString notOurs = QStringLiteral("no private runtime folder: %1 is not a folder of this user");
        QTest::newRow("private XDG_RUNTIME_DIR") << "private" << "" << 0 << "xdg" << "";
        QTest::newRow("no XDG_RUNTIME_DIR") << "" << "" << 0 << "home" << "";
        QTest::newRow("XDG_RUNTIME_DIR open to others") << "open" << "" << 0 << "home" << "";
        QTest::newRow("another user's XDG_RUNTIME_DIR") << "another user's" << "" << 0 << "home" << "";
        QTest::newRow("our folder left open is closed") << "" << "open" << 0 << "home" << "";
        QTest::newRow("a link for our folder") << "" << "link" << 0 << "" << notOurs;
        QTest::newRow("another user's folder") << "" << "another user's" << 0 << "" << notOurs;
        QTest::newRow("another user's file in our open folder") << "" << "open to all, with another user's file"
                                                                << 0 << "" << notOurs;
        QTest::newRow("socket path of 107 bytes") << "" << "" << 107 << "home" << "";
        QTest::newRow("socket path of 108 bytes")
            << "" << "" << 108 << "home"
            << "command server path too long for a local socket (108 bytes, at most 107): %1/ts3VossikPlugin";
        // clang-format on
    }
    void theRuntimeFolderIsTheUsersOwnOrNone()
    {
        QFETCH(QString, xdg);
        QFETCH(QString, inHome);
        QFETCH(int, socketPathBytes);
        QFETCH(QString, chosen);
        QFETCH(QString, problem);
        uid_t uid = 0;
        gid_t gid = 0;
        const auto theirs = [](const QString &what) { return what.startsWith(QLatin1String("another")); };
        if ((xdg + inHome).contains(QLatin1String("another")) && !neighbour(&uid, &gid))
            QSKIP("needs root to create a second user");
        QTemporaryDir base;
        const QString runtime = base.path() + QStringLiteral("/runtime");
        QString home = base.path() + QStringLiteral("/home");
        if (socketPathBytes)
            home += QLatin1Char('/') + QString(socketPathBytes - home.size() - 25, QLatin1Char('h'));
        const QString ours = home + QStringLiteral("/.vossik");
        QVERIFY(!socketPathBytes || ours.size() + 16 == socketPathBytes);
        QVERIFY(QDir().mkpath(home));
        qputenv("HOME", QFile::encodeName(home));
        qunsetenv("XDG_RUNTIME_DIR");
        if (!xdg.isEmpty()) {
            QVERIFY(makeFolder(runtime, xdg == QLatin1String("open") ? 0755 : 0700, theirs(xdg) ? uid : 0, gid));
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
        }
        if (inHome == QLatin1String("link"))
            QCOMPARE(::symlink(QFile::encodeName(base.path()).constData(), QFile::encodeName(ours).constData()), 0);
        else if (!inHome.isEmpty())
            QVERIFY(makeFolder(ours,
                               inHome == QLatin1String("open") ? 0755
                               : theirs(inHome)                ? 0700
                                                               : 0777,
                               theirs(inHome) ? uid : 0, gid));
        if (inHome.endsWith(QLatin1String("file"))) {  // it could pose as our command server
            const QString file = ours + QStringLiteral("/ts3VossikPlugin");
            QVERIFY(QFile(file).open(QIODevice::WriteOnly));
            QCOMPARE(::chown(QFile::encodeName(file).constData(), uid, gid), 0);
        }

        const QString dir = QString::fromStdString(platform::userRuntimeDir());
        QCOMPARE(dir, chosen == QLatin1String("xdg") ? runtime : chosen == QLatin1String("home") ? ours : QString());
        const QString said = QString::fromStdString(platform::commandServerProblem());
        QVERIFY2(problem.isEmpty() ? said.isEmpty() : said.startsWith(problem.arg(ours)), qPrintable(said));
        QCOMPARE(QString::fromStdString(platform::commandServerName()),
                 problem.isEmpty() ? dir + QStringLiteral("/ts3VossikPlugin") : QString());
        struct stat st = {};
        QVERIFY(dir.isEmpty()
                || (::lstat(QFile::encodeName(dir).constData(), &st) == 0 && (st.st_mode & 0777) == 0700));
    }

    // Under an endpoint's name, anything but a FIFO of ours is left as it
    // is by a post to it and by a broadcast: not written, not removed.
    void onlyOurFifosAreEndpoints_data()
    {
        // clang-format off
        QTest::addColumn<QString>("planted");
        QTest::newRow("symbolic link") << "link";
        QTest::newRow("plain file") << "file";
        QTest::newRow("another user's FIFO, read") << "fifo, read";
        QTest::newRow("another user's FIFO, unread") << "fifo";
        // clang-format on
    }
    void onlyOurFifosAreEndpoints()
    {
        QFETCH(QString, planted);
        uid_t uid = 0;
        gid_t gid = 0;
        const bool fifo = planted.startsWith(QLatin1String("fifo"));
        if (fifo && !neighbour(&uid, &gid))
            QSKIP("needs root to create a second user");
        PrivateRuntimeDir runtime;
        const std::string dir = platform::endpointDir();
        struct stat folder = {};
        QVERIFY(QString::fromStdString(dir).startsWith(runtime.path()) && ::stat(dir.c_str(), &folder) == 0
                && (folder.st_mode & 0777) == 0700);
        const QByteArray shared = QFile::encodeName(runtime.path() + QStringLiteral("/shared"));  // open to others
        QVERIFY(::mkdir(shared.constData(), 0777) == 0 && ::chmod(shared.constData(), 0777) == 0
                && !platform::ensurePrivateDir(shared.toStdString()));
        // Its process cannot exist: a FIFO of ours there that nobody reads
        // would be cleaned away.
        const platform::Handle handle = (platform::Handle(0x3FFFFF) << 24) | 1;
        const QByteArray name =
            QByteArray::fromStdString(dir) + '/' + QByteArray::number(qulonglong(handle), 16).rightJustified(16, '0');
        QFile target(runtime.path() + QStringLiteral("/target"));
        QVERIFY(target.open(QIODevice::WriteOnly) && target.write(QByteArray(64, 'p')) == 64);
        target.close();
        int reader = -1;
        if (planted == QLatin1String("link"))
            QCOMPARE(::symlink(QFile::encodeName(target.fileName()).constData(), name.constData()), 0);
        else if (planted == QLatin1String("file"))
            QVERIFY(target.copy(QFile::decodeName(name)));
        else
            QVERIFY(::mkfifo(name.constData(), 0600) == 0 && ::chown(name.constData(), uid, gid) == 0);
        if (planted.endsWith(QLatin1String("read")))
            reader = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        auto closeReader = qScopeGuard([&] { ::close(reader); });
        // The entry itself, and what reading it gives.
        const auto state = [&] {
            struct stat entry = {}, followed = {};
            ::lstat(name.constData(), &entry);
            ::stat(name.constData(), &followed);
            QByteArray content(64, '\0');
            if (!fifo)
                content = readFile(QFile::decodeName(name));
            else
                content.resize(int(qMax<ssize_t>(0, ::read(reader, content.data(), content.size()))));
            return QList<qint64>{entry.st_mode,         qint64(entry.st_ino),    entry.st_mtim.tv_sec,
                                 entry.st_mtim.tv_nsec, followed.st_mtim.tv_sec, followed.st_mtim.tv_nsec,
                                 qHash(content)};
        };
        const QList<qint64> before = state();
        QVERIFY(!platform::postMessage(handle, 0xC001, 1, 2));
        QVERIFY(platform::broadcastMessage(0xC001, 1, 2));
        QCOMPARE(state(), before);
    }

    // A whole session of the first user, with no XDG_RUNTIME_DIR, while the
    // second user holds the names in /tmp that the first one fell back to
    // and listens there: the lights follow, and nothing reaches the second
    // user.
    void anotherUserHearsNothingAndTheLightsFollow()
    {
        uid_t uid = 0;
        gid_t gid = 0;
        if (!neighbour(&uid, &gid))
            QSKIP("needs root to create a second user");
        const QString squat = QStringLiteral("/tmp/vossik-%1").arg(::getuid());
        const QString workDir = QStringLiteral("/tmp/neighbours-%1").arg(QCoreApplication::applicationPid());
        const QString tmpServer = QStringLiteral("/tmp/ts3VossikPlugin");
        QTemporaryDir home;
        const QString ours = home.path() + QStringLiteral("/.vossik");
        const QString pluginsDir = home.path() + QStringLiteral("/plugins");
        const QString previousDir = QDir::currentPath();
        if (QFileInfo::exists(squat) || QFileInfo::exists(tmpServer))
            QSKIP("the names the second user would take in /tmp are taken already");
        auto cleanUp = qScopeGuard([&] {
            killRunning(helperCopyIn(pluginsDir));
            QDir::setCurrent(previousDir);
            QDir(squat).removeRecursively();
            QDir(workDir).removeRecursively();
            QFile::remove(tmpServer);
        });
        QVERIFY(makeFolder(squat, 0755, uid, gid) && makeFolder(workDir, 0755, uid, gid));
        ProcessRig rig;
        rig.env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        rig.env.insert(QStringLiteral("HOME"), home.path());
        // In /tmp, where the helper put a relative name, and in the client's
        // working folder, where the plugin looked for it.
        Neighbour listener(uid, gid, {tmpServer, workDir + "/ts3VossikPlugin"});
        QVERIFY(QTest::qWaitFor([&] { return listener.heard() == "ready\n"; }, 5000));
        QVERIFY(QDir::setCurrent(workDir));
        QVERIFY(writeSettingsFile(home.path() + QStringLiteral("/config")));

        Child service(QStringLiteral(LIGHTSERVICE_PATH), {"--log", "--no-window"}, rig.env);
        QVERIFY(QTest::qWaitFor([&] { return !QDir(ours + "/vossik-winmsg").entryList(QDir::System).isEmpty(); },
                                5000));  // its endpoint is open
        std::unique_ptr<Child> client = rig.startHost(pluginsDir, home.path() + "/config");
        QVERIFY(client);
        QVERIFY(service.waitForCommands(1, 8000));
        QVERIFY(QFileInfo(ours + QStringLiteral("/ts3VossikPlugin")).exists());
        QVERIFY(runningPid(helperCopyIn(pluginsDir)));
        play(*client, {"talk own 1", "talk own 0", "shutdown"});
        QVERIFY(client->finished());
        QVERIFY(QTest::qWaitFor([&] { return runningPid(helperCopyIn(pluginsDir)) == 0; }, 8000));
        QCOMPARE(client->process().exitCode(), 0);
        QVERIFY(service.waitForCommands(4));
        QCOMPARE(service.commands(), (QStringList{kSilent, kSpeaking, kSilent, kShutdown}));
        QCOMPARE(listener.heard(), QByteArray("ready\n"));
        QVERIFY(QDir(squat).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestUserIsolation)
#include "tst_user_isolation.moc"
