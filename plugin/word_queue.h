// The words handed over by the host's threads and not yet written to the
// helper. Bounded: when it is full, a word that a later one of its kind
// makes void goes first - talk words, then the facts', the whisper's and
// the toggle's, then a Wnd or Dismiss, then a poke, message or join; the
// newest of each kind stays as long as the queue can hold it, and a poke,
// message, join or Shutdown always does.
#pragma once

#include "command_words.h"

#include <cstddef>
#include <cstdint>
#include <deque>

// The words that tell the newest value of one thing form a kind: the voice
// state, each fact, the toggle, the whisper. The helper needs only the
// last of each. The toggle comes first: told again in this order, a helper
// told "lightsoff" posts nothing for the words after it.
// The one-offs (Wnd, Dismiss) and the events (Poke, Message, Join) are
// kinds of their own too: two in a row do what one does.
enum class WordKind : std::uint8_t {
    Lights,
    Talk,
    Sound,
    Mic,
    Away,
    Connection,
    Whisper,
    Wnd,
    Dismiss,
    Poke,
    Message,
    Join,
    Shutdown
};
// The kinds before Wnd: those that tell a state, which a new helper is told again.
constexpr int kStateWordKinds = int(WordKind::Wnd);
constexpr int kWordKinds = int(WordKind::Shutdown) + 1;
WordKind wordKind(protocol::CommandWord word);

// Kinds whose word never goes for room unless a later one of its kind is
// queued: each poke, message and join is a signal, Shutdown the end.
constexpr bool keptUntilSuperseded(WordKind kind)
{
    return kind == WordKind::Poke || kind == WordKind::Message || kind == WordKind::Join || kind == WordKind::Shutdown;
}

class WordQueue
{
public:
    static constexpr std::size_t kDefaultCapacity = 256;
    // One word of each kept kind: a queue one word over it holds a word of
    // a repeated kind or one that may go, whatever it holds.
    static constexpr std::size_t kMinCapacity = [] {
        std::size_t kept = 0;
        for (int kind = 0; kind < kWordKinds; ++kind)
            kept += keptUntilSuperseded(WordKind(kind));
        return kept;
    }();

    explicit WordQueue(std::size_t capacity = kDefaultCapacity)
        : m_capacity(capacity < kMinCapacity ? kMinCapacity : capacity)
    {
    }

    void push(protocol::CommandWord word);
    // Puts `word` before every queued word (a resend after a reconnect).
    void pushFront(protocol::CommandWord word);
    // Takes the oldest word; the queue must not be empty.
    protocol::CommandWord pop();

    bool empty() const { return m_words.empty(); }
    std::size_t size() const { return m_words.size(); }
    bool holds(WordKind kind) const;
    // Words dropped to make room, since the queue was made.
    std::uint64_t dropped() const { return m_dropped; }

private:
    void trim();

    std::size_t m_capacity;
    std::deque<protocol::CommandWord> m_words;
    std::uint64_t m_dropped = 0;
};
