#include "windows_process_owner.h"

namespace platform {

namespace {

constexpr char kLocalSystemSid[] = "S-1-5-18";
// Services run there: an administrator installed them.
constexpr std::uint32_t kServicesSession = 0;

std::string sessionText(std::uint32_t session)
{
    return "session " + std::to_string(session);
}

}  // namespace

ServerOwner windowsProcessOwner(const WindowsProcessFacts &facts, const AccountNameOf &accountName)
{
    if (facts.pid == 0)
        return {PeerOwner::Unknown, "no process"};
    // The token is the process's own word; the list's is a copy of it.
    const std::string sid = facts.token.outcome == TokenLookup::Outcome::Read ? facts.token.userSid
                            : facts.row                                       ? facts.row->userSid
                                                                              : std::string();
    if (!sid.empty() && sid == facts.ourSid)
        return {PeerOwner::Trusted, "you"};
    if (sid == kLocalSystemSid)
        return {PeerOwner::Trusted, "LocalSystem"};
    if (facts.row && facts.row->session == kServicesSession)
        return {PeerOwner::Trusted, "a service in " + sessionText(kServicesSession)};
    // In our own session yet closed to us: the user's own server, elevated,
    // perhaps with an administrator's account.
    if (facts.row && facts.row->session == facts.ourSession && facts.token.outcome == TokenLookup::Outcome::Denied)
        return {PeerOwner::Trusted, "you, elevated"};
    if (sid.empty()) {
        if (!facts.row)
            return {PeerOwner::Unknown, "process " + std::to_string(facts.pid)};
        // Hidden from us in our own session: the user's own elevated server.
        if (facts.row->session == facts.ourSession)
            return {PeerOwner::Trusted, "you, elevated"};
        return {PeerOwner::OtherUser, "a user of " + sessionText(facts.row->session)};
    }
    const std::string name = accountName ? accountName(sid) : std::string();
    std::string who = "user " + (name.empty() ? sid : name);
    if (facts.row)
        who += " in " + sessionText(facts.row->session);
    return {PeerOwner::OtherUser, who};
}

}  // namespace platform
