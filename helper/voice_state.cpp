#include "voice_state.h"

#include <algorithm>

LightState lightState(const ClientState &state, const ShowOptions &options, std::int64_t nowMs)
{
    if (state.voice == VoiceState::SpeakingMuted)
        return LightState::SpeakingMuted;
    constexpr LightState kSignalStates[kSignalCount] = {LightState::Poked, LightState::Message, LightState::Whispered,
                                                        LightState::Joined};
    for (int signal = 0; signal < kSignalCount; ++signal) {
        if (options.signalsOn[signal] && state.attention.holds(Signal(signal), nowMs))
            return kSignalStates[signal];
    }
    switch (state.voice) {
    case VoiceState::Speaking:
        return LightState::Speaking;
    case VoiceState::OthersSpeaking:
        if (options.others)
            return LightState::OthersSpeaking;
        break;
    case VoiceState::Silent:
    case VoiceState::SpeakingMuted:
        break;
    }
    constexpr LightState kFactStates[kFactCount] = {LightState::SoundMuted, LightState::MicMuted, LightState::Away,
                                                    LightState::Offline};
    for (int fact = 0; fact < kFactCount; ++fact) {
        if (options.enabled[fact] && state.facts[fact])
            return kFactStates[fact];
    }
    return state.voice == VoiceState::OthersSpeaking ? LightState::OthersSpeaking : LightState::Silent;
}

ClientState ClientStates::combined() const
{
    ClientState all;
    all.facts[int(Fact::Offline)] = !m_states.empty();
    for (const auto &client : m_states) {
        const ClientState &one = client.second;
        all.voice = std::max(all.voice, one.voice);
        for (const Fact fact : {Fact::SoundMuted, Fact::MicMuted, Fact::Away})
            all.facts[int(fact)] = all.facts[int(fact)] || one.facts[int(fact)];
        all.facts[int(Fact::Offline)] = all.facts[int(Fact::Offline)] && one.facts[int(Fact::Offline)];
        all.lightsOff = all.lightsOff || one.lightsOff;
        all.attention.merge(one.attention);
    }
    return all;
}

void ClientStates::dismiss()
{
    for (auto &client : m_states)
        client.second.attention.dismiss();
}

LightState ClientStates::shownOf(std::int64_t client, const ShowOptions &options, std::int64_t nowMs) const
{
    const auto found = m_states.find(client);
    return lightState(found == m_states.end() ? ClientState{} : found->second, options, nowMs);
}
