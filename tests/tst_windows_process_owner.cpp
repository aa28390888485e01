// Who runs the lighting server on Windows, decided from the facts a
// standard user may gather: the process list's row, the token where it
// may be opened, our own user and session.
#include "windows_process_owner.h"

#include "test_support.h"

#include <QtTest>

namespace {

const QString kOurs = "S-1-5-21-7-7-7-1001";
const QString kBob = "S-1-5-21-7-7-7-1002";
const QString kCarol = "S-1-5-21-7-7-7-1003";                       // whose account name cannot be found
const char *const kVerdicts[] = {"trusted", "refused", "unknown"};  // in PeerOwner's order

}  // namespace

class TestWindowsProcessOwner : public QObject
{
    Q_OBJECT

private slots:
    // We are kOurs in session 1. `list`: the process list's user, or "none"
    // for no row; `token`: "none" (not tried), "denied" or the user read.
    void decidesFromWhatCanBeKnown_data()
    {
        // clang-format off
        columns<uint, uint, QString, QString, QString, QString>({"pid", "session", "list", "token", "verdict", "who"});
        QTest::newRow("same user by the list") << 7u << 1u << kOurs << "denied" << "trusted" << "you";
        QTest::newRow("same user by the token") << 7u << 1u << "" << kOurs << "trusted" << "you";
        QTest::newRow("same user, another session") << 7u << 3u << kOurs << "denied" << "trusted" << "you";
        QTest::newRow("LocalSystem") << 7u << 2u << "S-1-5-18" << "denied" << "trusted" << "LocalSystem";
        QTest::newRow("session 0, another's") << 7u << 0u << kBob << "denied" << "trusted" << "a service in session 0";
        QTest::newRow("our session, hidden") << 7u << 1u << "" << "denied" << "trusted" << "you, elevated";
        QTest::newRow("our session, an administrator's") << 7u << 1u << kBob << "denied" << "trusted" << "you, elevated";
        QTest::newRow("our session, another's token") << 7u << 1u << kBob << kBob << "refused" << "user PC\\bob in session 1";
        QTest::newRow("other session") << 7u << 2u << kBob << "denied" << "refused" << "user PC\\bob in session 2";
        QTest::newRow("other session, unnamed") << 7u << 2u << kCarol << "denied"
                                                << "refused" << "user " + kCarol + " in session 2";
        QTest::newRow("other session, hidden") << 7u << 2u << "" << "denied" << "refused" << "a user of session 2";
        QTest::newRow("not listed, another's token") << 7u << 0u << "none" << kBob << "refused" << "user PC\\bob";
        QTest::newRow("no owner in the TCP table") << 0u << 0u << "none" << "none" << "unknown" << "no process";
        QTest::newRow("not listed, token denied") << 7u << 0u << "none" << "denied" << "unknown" << "process 7";
        // clang-format on
    }
    void decidesFromWhatCanBeKnown()
    {
        QFETCH(uint, pid);
        QFETCH(uint, session);
        QFETCH(QString, list);
        QFETCH(QString, token);
        platform::WindowsProcessFacts facts{pid, std::nullopt, {}, kOurs.toStdString(), 1};
        if (list != "none")
            facts.row = platform::ProcessListRow{session, list.toStdString()};
        if (token == "denied")
            facts.token.outcome = platform::TokenLookup::Outcome::Denied;
        else if (token != "none")
            facts.token = {platform::TokenLookup::Outcome::Read, token.toStdString()};
        const platform::ServerOwner owner = platform::windowsProcessOwner(
            facts, [](const std::string &sid) { return sid == kBob.toStdString() ? "PC\\bob" : std::string(); });
        QTEST(QString(kVerdicts[int(owner.verdict)]), "verdict");
        QTEST(QString::fromStdString(owner.who), "who");
    }
};

QTEST_APPLESS_MAIN(TestWindowsProcessOwner)
#include "tst_windows_process_owner.moc"
