// The voice state of each client of the helper, and the one the light shows.
#pragma once

#include <cstdint>
#include <map>

// In rising rank: with several clients the light shows the highest.
enum class VoiceState { Silent, OthersSpeaking, Speaking, SpeakingMuted };

// Clients are told apart by a number: their process id, or a stand-in when
// the system does not tell it.
class ClientStates
{
public:
    // A client is known from its first word on, silent until it says more.
    void add(std::int64_t client) { m_states.emplace(client, VoiceState::Silent); }
    void set(std::int64_t client, VoiceState state) { m_states[client] = state; }
    void remove(std::int64_t client) { m_states.erase(client); }
    void clear() { m_states.clear(); }
    bool contains(std::int64_t client) const { return m_states.count(client) != 0; }
    bool empty() const { return m_states.empty(); }
    // The state the light shows: the highest of all clients', silent without any.
    VoiceState shown() const;

private:
    std::map<std::int64_t, VoiceState> m_states;
};
