// The words handed over by the host's threads and not yet written to the
// helper. Bounded: when it is full, a word that a later one of its kind
// makes void goes first - talk words, then the facts' and the toggle's,
// then a Wnd; the newest of each kind and Shutdown stay.
#pragma once

#include "command_words.h"

#include <cstddef>
#include <cstdint>
#include <deque>

// The words that tell the newest value of one thing form a kind: the voice
// state, each fact, the toggle. The helper needs only the last of each.
// The toggle comes first: told again in this order, a helper told
// "lightsoff" posts nothing for the words after it.
enum class WordKind : std::uint8_t { Lights, Talk, Sound, Mic, Away, Connection, Wnd, Shutdown };
// The kinds before Wnd: those that tell a state, which a new helper is told again.
constexpr int kStateWordKinds = int(WordKind::Wnd);
WordKind wordKind(protocol::CommandWord word);

class WordQueue
{
public:
    static constexpr std::size_t kDefaultCapacity = 256;

    explicit WordQueue(std::size_t capacity = kDefaultCapacity) : m_capacity(capacity < 3 ? 3 : capacity) {}

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
