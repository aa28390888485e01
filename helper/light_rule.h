// What the device is told of the clients' states (voice_state.h), and when.
// Pure: the caller tells the time, in ms of a steady clock, and carries out
// the posts.
#pragma once

#include "command_words.h"
#include "voice_state.h"

#include <optional>

class LightRule
{
public:
    // What to post: nothing, the light of a state, or the shutdown profile.
    struct Post {
        enum Kind { Nothing, State, Shutdown } kind = Nothing;
        LightState state = LightState::Silent;
    };

    void setOptions(const ShowOptions &options) { m_options = options; }
    const ShowOptions &options() const { return m_options; }
    const ClientStates &clients() const { return m_clients; }
    void addClient(std::int64_t client) { m_clients.add(client); }
    void clear() { m_clients.clear(); }

    // A word of `client` about its state or its signals. A change of what
    // shows posts; so does a voice or fact word when the sender's own state
    // is what shows (with one client every such word posts, as it always
    // did), unless a signal shows: its profile again would restart its
    // animation. A signal's repeat only moves its end. While the lights
    // are off nothing posts. Any other word posts nothing.
    Post onWord(std::int64_t client, protocol::CommandWord word, std::int64_t nowMs);
    // The client has gone, and its signals with it. Nothing when it was the
    // last: the helper ends then.
    Post removeClient(std::int64_t client, std::int64_t nowMs);
    // The time wakeAt() named has come.
    Post onTime(std::int64_t nowMs) { return update(std::nullopt, nowMs); }
    // What holds now, over whatever the device shows (after a reload or a
    // preview): the shutdown profile while the lights are off.
    Post showAgain(std::int64_t nowMs);
    // When what shows changes by itself: the end of the timed signal that
    // shows. Nothing while no timed signal shows or the lights are off, so
    // an idle helper is never woken.
    std::optional<std::int64_t> wakeAt() const;

private:
    Post update(std::optional<std::int64_t> sender, std::int64_t nowMs);
    Post setLightsOff(std::int64_t client, bool off, std::int64_t nowMs);

    ShowOptions m_options;
    ClientStates m_clients;
    std::optional<LightState> m_shown;  // what the light shows of the clients
};
