#include "light_rule.h"

namespace {

std::optional<Signal> signalOf(LightState state)
{
    switch (state) {
    case LightState::Poked:
        return Signal::Poked;
    case LightState::Message:
        return Signal::Message;
    case LightState::Whispered:
        return Signal::Whispered;
    case LightState::Joined:
        return Signal::Joined;
    default:
        return std::nullopt;
    }
}

}  // namespace

LightRule::Post LightRule::onWord(std::int64_t client, protocol::CommandWord word, std::int64_t nowMs)
{
    using protocol::CommandWord;
    const auto voice = [&](VoiceState state) {
        m_clients.set(client, state);
        return update(client, nowMs);
    };
    // A fact whose state is off is only kept: it posts nothing, so with
    // every such state off the device sees the talk words' commands alone.
    const auto fact = [&](Fact fact, bool holds) {
        m_clients.setFact(client, fact, holds);
        return m_options.enabled[int(fact)] ? update(client, nowMs) : Post{};
    };
    // The signal words post only what they change: no sender.
    const auto timed = [&](Signal signal) {
        m_clients.startSignal(client, signal, nowMs + 1000 * std::int64_t(m_options.seconds[int(signal)]));
        return update(std::nullopt, nowMs);
    };
    switch (word) {
    case CommandWord::Start:
        return voice(VoiceState::Speaking);
    case CommandWord::Stop:
        return voice(VoiceState::Silent);
    case CommandWord::Mute:
        return voice(VoiceState::SpeakingMuted);
    case CommandWord::StartOther:  // also where the user stops while others talk
        return voice(VoiceState::OthersSpeaking);
    case CommandWord::MicMuted:
    case CommandWord::MicUnmuted:
        return fact(Fact::MicMuted, word == CommandWord::MicMuted);
    case CommandWord::SoundMuted:
    case CommandWord::SoundUnmuted:
        return fact(Fact::SoundMuted, word == CommandWord::SoundMuted);
    case CommandWord::Away:
    case CommandWord::Back:
        return fact(Fact::Away, word == CommandWord::Away);
    case CommandWord::Offline:
    case CommandWord::Online:
        return fact(Fact::Offline, word == CommandWord::Offline);
    case CommandWord::LightsOff:
    case CommandWord::LightsOn:
        return setLightsOff(client, word == CommandWord::LightsOff, nowMs);
    case CommandWord::Poke:
        return timed(Signal::Poked);
    case CommandWord::Message:
        return timed(Signal::Message);
    case CommandWord::Join:
        return timed(Signal::Joined);
    case CommandWord::Whisper:
    case CommandWord::WhisperEnd:
        m_clients.setWhispered(client, word == CommandWord::Whisper);
        return update(std::nullopt, nowMs);
    case CommandWord::Dismiss:
        m_clients.dismiss();
        return update(std::nullopt, nowMs);
    case CommandWord::Shutdown:
    case CommandWord::Wnd:
    case CommandWord::Quit:
        break;
    }
    return {};
}

// A press changes only its client's toggle. The light is off while any
// client has it off: the shutdown profile once as it goes off, the current
// state at once as the last "off" is turned on.
LightRule::Post LightRule::setLightsOff(std::int64_t client, bool off, std::int64_t nowMs)
{
    const bool wasOff = m_clients.lightsOff();
    m_clients.setLightsOff(client, off);
    if (m_clients.lightsOff() == wasOff)
        return {};
    if (off)
        return {Post::Shutdown};
    m_shown.reset();
    return update(std::nullopt, nowMs);
}

LightRule::Post LightRule::removeClient(std::int64_t client, std::int64_t nowMs)
{
    if (!m_clients.contains(client))
        return {};
    const bool wasOff = m_clients.lightsOff();
    m_clients.remove(client);
    if (m_clients.empty())
        return {};
    if (wasOff)
        m_shown.reset();  // shows at once if its toggle was the last "off"
    return update(std::nullopt, nowMs);
}

LightRule::Post LightRule::showAgain(std::int64_t nowMs)
{
    m_shown.reset();
    if (m_clients.lightsOff())
        return {Post::Shutdown};
    return update(std::nullopt, nowMs);
}

std::optional<std::int64_t> LightRule::wakeAt() const
{
    // Without a client no signal holds, and nothing changes by itself.
    if (m_clients.empty())
        return std::nullopt;
    const std::optional<Signal> signal = m_shown ? signalOf(*m_shown) : std::nullopt;
    if (!signal || !isTimed(*signal))
        return std::nullopt;
    const ClientState all = m_clients.combined();
    if (all.lightsOff)
        return std::nullopt;
    // What was shown may have ended with its client: no end to wait for.
    const std::int64_t until = all.attention.until(*signal);
    if (until == AttentionSignals::kNever)
        return std::nullopt;
    return until;
}

LightRule::Post LightRule::update(std::optional<std::int64_t> sender, std::int64_t nowMs)
{
    const LightState shown = m_clients.shown(m_options, nowMs);
    const bool sendersOwn =
        sender && !isAttentionSignal(shown) && m_clients.shownOf(*sender, m_options, nowMs) == shown;
    if (m_shown == shown && !sendersOwn)
        return {};
    m_shown = shown;
    if (m_clients.lightsOff())
        return {};
    return {Post::State, shown};
}
