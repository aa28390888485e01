#include "voice_state.h"

#include <algorithm>

LightState lightState(const ClientState &state, const ShowOptions &options)
{
    switch (state.voice) {
    case VoiceState::Speaking:
        return LightState::Speaking;
    case VoiceState::SpeakingMuted:
        return LightState::SpeakingMuted;
    case VoiceState::OthersSpeaking:
        if (options.others)
            return LightState::OthersSpeaking;
        break;
    case VoiceState::Silent:
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
    }
    return all;
}

LightState ClientStates::shownOf(std::int64_t client, const ShowOptions &options) const
{
    const auto found = m_states.find(client);
    return lightState(found == m_states.end() ? ClientState{} : found->second, options);
}
