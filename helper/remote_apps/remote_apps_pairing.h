// When the helper talks to TeamSpeak's Remote Apps interface, and what it
// asks: the pairing with the user's permission and the looking again.
// Pure: the caller carries out each step.
//  - Each connection sends "auth" with the stored key, or an empty one,
//    which asks the user (logged once). No answer is waited out: the user
//    may take their time, and a second empty-key "auth" would ask again.
//  - A status code other than 0 refuses; so does a close before any
//    answer while the port still listens a moment later. Nothing listening
//    then means TeamSpeak quit before the user decided: the key (or none)
//    stays and the helper asks again when TeamSpeak is back. A refusal is
//    logged once, forgets a stored key, and ends the asking until the
//    helper starts again.
//  - A close after a granted "auth" is the end of that client. Nobody
//    listening, or the end, is followed by attempts at growing intervals.
#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace remote_apps {

// Shortens the intervals for the tests: the first, in ms.
constexpr char kRetryVariable[] = "VOSSIK_REMOTE_APPS_RETRY_MS";

class Pairing
{
public:
    static constexpr std::int64_t kFirstIntervalMs = 1000;
    // The slowest interval, as a multiple of the first.
    static constexpr std::int64_t kSlowestFactor = 30;

    explicit Pairing(QString storedKey, std::int64_t firstIntervalMs = kFirstIntervalMs)
        : m_key(std::move(storedKey)), m_firstMs(firstIntervalMs), m_delayMs(firstIntervalMs)
    {
    }

    // What the caller does next; several may be asked at once.
    struct Step {
        std::optional<QString> sendAuth;  // with this key
        bool askUser = false;             // log that the user must allow the helper
        bool refused = false;             // log the refusal
        std::optional<QString> storeKey;  // write it (empty: forget the stored one)
        std::optional<std::int64_t> connectInMs;
        std::optional<std::int64_t> probeInMs;  // then onProbe(): does the port still listen?
        bool started = false;                   // the client of the helper begins
        bool ended = false;                     // and ends
    };

    // The helper begins to serve.
    Step start();
    // The socket is open.
    Step onOpened();
    // An answer to "auth".
    Step onAnswer(int statusCode, const QString &apiKey);
    // The socket closed, or never opened. `tooLarge`: the helper closed it
    // over a message larger than it reads, which is no answer of the user.
    Step onClosed(bool tooLarge = false);
    Step onProbe(bool listening);

    bool refused() const { return m_phase == Phase::Refused; }
    bool granted() const { return m_phase == Phase::Granted; }
    // An empty-key "auth" waits for the user's answer in TeamSpeak.
    bool askingUser() const { return m_phase == Phase::Asking && m_key.isEmpty(); }
    const QString &key() const { return m_key; }

private:
    enum class Phase { Idle, Connecting, Asking, Granted, Probing, Refused };
    Step retry();
    Step refuse();

    QString m_key;
    std::int64_t m_firstMs;
    std::int64_t m_delayMs;
    Phase m_phase = Phase::Idle;
    bool m_askLogged = false;
};

}  // namespace remote_apps
