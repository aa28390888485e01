#include "voice_state.h"

#include <algorithm>

VoiceState ClientStates::shown() const
{
    VoiceState top = VoiceState::Silent;
    for (const auto &client : m_states)
        top = std::max(top, client.second);
    return top;
}
