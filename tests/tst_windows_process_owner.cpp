// Who runs the lighting server on Windows, decided from the facts a
// standard user may gather: the process list's row, the token where it
// may be opened, our own user and session.
#include "windows_process_owner.h"

#include "test_support.h"

#include <QtTest>

namespace {

const QString kOurs = "S-1-5-21-1004336348-1177238915-682003330-1001";
const QString kBob = "S-1-5-21-1004336348-1177238915-682003330-1002";
const QString kUnnamed = "S-1-5-21-1004336348-1177238915-682003330-1003";
const QString kNotListed = "not listed";
const QString kNotTried = "not tried";
const QString kDenied = "denied";
constexpr std::uint32_t kOurSession = 1;

QString verdictText(platform::PeerOwner verdict)
{
    switch (verdict) {
    case platform::PeerOwner::Trusted:
        return "trusted";
    case platform::PeerOwner::OtherUser:
        return "refused";
    case platform::PeerOwner::Unknown:
        break;
    }
    return "unknown";
}

}  // namespace

class TestWindowsProcessOwner : public QObject
{
    Q_OBJECT

private slots:
    // `listSid`: the process list's user, or kNotListed for no row;
    // `token`: kNotTried, kDenied, or the SID read from it.
    void decidesFromWhatCanBeKnown_data()
    {
        // clang-format off
        columns<uint, int, QString, QString, QString, QString>({"pid", "session", "listSid", "token", "verdict", "who"});
        QTest::newRow("same user by the list") << 700u << 1 << kOurs << kDenied << "trusted" << "you";
        QTest::newRow("same user by the token") << 700u << 1 << "" << kOurs << "trusted" << "you";
        QTest::newRow("same user in another session") << 700u << 3 << kOurs << kDenied << "trusted" << "you";
        QTest::newRow("the token outranks the list") << 700u << 3 << kBob << kOurs << "trusted" << "you";
        QTest::newRow("LocalSystem") << 700u << 2 << "S-1-5-18" << kDenied << "trusted" << "LocalSystem";
        QTest::newRow("session 0, another user") << 700u << 0 << kBob << kDenied
                                                  << "trusted" << "a service in session 0";
        QTest::newRow("our session, token denied, no user listed") << 700u << 1 << "" << kDenied
                                                                    << "trusted" << "you, elevated";
        QTest::newRow("another session, named user") << 700u << 2 << kBob << kDenied
                                                       << "refused" << "user PC\\bob in session 2";
        QTest::newRow("another session, unnamed user") << 700u << 2 << kUnnamed << kDenied
                                                        << "refused" << "user " + kUnnamed + " in session 2";
        QTest::newRow("another session, no user listed") << 700u << 2 << "" << kDenied
                                                          << "refused" << "a user of session 2";
        QTest::newRow("our session, another user") << 700u << 1 << kBob << kDenied
                                                    << "refused" << "user PC\\bob in session 1";
        QTest::newRow("not listed, another user's token") << 700u << 0 << kNotListed << kBob
                                                           << "refused" << "user PC\\bob";
        QTest::newRow("no owner in the TCP table") << 0u << 0 << kNotListed << kNotTried << "unknown" << "no process";
        QTest::newRow("not listed, token denied") << 700u << 0 << kNotListed << kDenied << "unknown" << "process 700";
        // clang-format on
    }
    void decidesFromWhatCanBeKnown()
    {
        QFETCH(uint, pid);
        QFETCH(int, session);
        QFETCH(QString, listSid);
        QFETCH(QString, token);
        QFETCH(QString, verdict);
        QFETCH(QString, who);
        platform::WindowsProcessFacts facts;
        facts.pid = pid;
        if (listSid != kNotListed)
            facts.row = platform::ProcessListRow{std::uint32_t(session), listSid.toStdString()};
        if (token == kDenied)
            facts.token.outcome = platform::TokenLookup::Outcome::Denied;
        else if (token != kNotTried)
            facts.token = {platform::TokenLookup::Outcome::Read, token.toStdString()};
        facts.ourSid = kOurs.toStdString();
        facts.ourSession = kOurSession;
        const platform::ServerOwner owner = platform::windowsProcessOwner(
            facts, [](const std::string &sid) { return sid == kBob.toStdString() ? "PC\\bob" : std::string(); });
        QCOMPARE(verdictText(owner.verdict), verdict);
        QCOMPARE(QString::fromStdString(owner.who), who);
    }
};

QTEST_APPLESS_MAIN(TestWindowsProcessOwner)
#include "tst_windows_process_owner.moc"
