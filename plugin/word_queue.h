// The words handed over by the host's threads and not yet written to the
// helper. Bounded: when it is full, the oldest talk words go first, since
// only the newest voice state still matters; the newest state, a pending
// Wnd and Shutdown always stay.
#pragma once

#include "command_words.h"

#include <cstddef>
#include <cstdint>
#include <deque>

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
    bool holdsTalkWord() const;
    // Words dropped to make room, since the queue was made.
    std::uint64_t dropped() const { return m_dropped; }

private:
    void trim();

    std::size_t m_capacity;
    std::deque<protocol::CommandWord> m_words;
    std::uint64_t m_dropped = 0;
};
