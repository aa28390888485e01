// The voice state, the facts and the attention signals of each client of the
// helper, and the state the light shows of them all.
#pragma once

#include "attention_signals.h"

#include <array>
#include <cstdint>
#include <map>

// In rising rank: with several clients the light shows the highest. Heard
// anywhere outranks muted elsewhere, as between the plugin's connections:
// the muted signal warns only when nobody hears the user at all.
enum class VoiceState { Silent, OthersSpeaking, SpeakingMuted, Speaking };

// What a client tells beside its talk, in falling rank; each shows only
// when the user has enabled its state.
enum class Fact { SoundMuted, MicMuted, Away, Offline };
constexpr int kFactCount = 4;

// What the light shows, in rising rank. OthersSpeaking stands for others
// speaking while the others option is off too (shown as silent): a client's
// "startother" is then still what shows, and posts, as it always did.
enum class LightState {
    Silent,
    Offline,
    Away,
    MicMuted,
    SoundMuted,
    OthersSpeaking,
    Speaking,
    Joined,
    Whispered,
    Message,
    Poked,
    SpeakingMuted,
};
constexpr bool isAttentionSignal(LightState state)
{
    return state >= LightState::Joined && state <= LightState::Poked;
}

// What the user chose to see.
struct ShowOptions {
    bool others = false;
    std::array<bool, kFactCount> enabled{};      // by Fact
    std::array<bool, kSignalCount> signalsOn{};  // by Signal
    // How long a timed signal shows after its word, by Signal.
    std::array<int, kSignalCount> seconds{defaultSeconds(Signal::Poked), defaultSeconds(Signal::Message), 0,
                                          defaultSeconds(Signal::Joined)};
};

struct ClientState {
    VoiceState voice = VoiceState::Silent;
    std::array<bool, kFactCount> facts{};  // by Fact; a new client is unmuted, present and connected
    bool lightsOff = false;                // the user's toggle in this client; each plugin starts on
    AttentionSignals attention;
};

// The first enabled one of: speaking muted (the warning stays on top), the
// signals that hold at `nowMs` in their rank, speaking, others speaking
// (option on), the facts in their rank, silent.
LightState lightState(const ClientState &state, const ShowOptions &options, std::int64_t nowMs);

// Clients are told apart by a number: their process id, or a stand-in when
// the system does not tell it.
class ClientStates
{
public:
    // A client is known from its first word on, silent until it says more.
    void add(std::int64_t client) { m_states.emplace(client, ClientState{}); }
    void set(std::int64_t client, VoiceState state) { m_states[client].voice = state; }
    void setFact(std::int64_t client, Fact fact, bool holds) { m_states[client].facts[int(fact)] = holds; }
    void setLightsOff(std::int64_t client, bool off) { m_states[client].lightsOff = off; }
    void startSignal(std::int64_t client, Signal signal, std::int64_t endMs)
    {
        m_states[client].attention.start(signal, endMs);
    }
    void setWhispered(std::int64_t client, bool whispered) { m_states[client].attention.setWhispered(whispered); }
    // Every client's timed signals end.
    void dismiss();
    void remove(std::int64_t client) { m_states.erase(client); }
    void clear() { m_states.clear(); }
    bool contains(std::int64_t client) const { return m_states.count(client) != 0; }
    bool empty() const { return m_states.empty(); }
    int count() const { return int(m_states.size()); }
    // The user's state across all clients: the highest voice state; muted
    // or away when any client is (a muted microphone anywhere is worth a
    // look); offline only when every client is (one connection is enough
    // to be reachable); lights off while any client has them off, so one
    // client's toggle never undoes another's; a signal while it holds for
    // any client. Silent, connected and lit without any client.
    ClientState combined() const;
    bool lightsOff() const { return combined().lightsOff; }
    LightState shown(const ShowOptions &options, std::int64_t nowMs) const
    {
        return lightState(combined(), options, nowMs);
    }
    // What the light would show of this client alone.
    LightState shownOf(std::int64_t client, const ShowOptions &options, std::int64_t nowMs) const;

private:
    std::map<std::int64_t, ClientState> m_states;
};
