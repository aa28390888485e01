#include "word_queue.h"

#include <algorithm>

using protocol::CommandWord;
using protocol::isTalkWord;

void WordQueue::push(CommandWord word)
{
    m_words.push_back(word);
    trim();
}

void WordQueue::pushFront(CommandWord word)
{
    m_words.push_front(word);
    trim();
}

CommandWord WordQueue::pop()
{
    const CommandWord word = m_words.front();
    m_words.pop_front();
    return word;
}

bool WordQueue::holdsTalkWord() const
{
    return std::any_of(m_words.begin(), m_words.end(), isTalkWord);
}

void WordQueue::trim()
{
    if (m_words.size() <= m_capacity)
        return;
    // A talk word with a newer one behind it, else a Wnd with another
    // behind it: either says nothing the later one does not.
    const auto supersededAt = [this](auto matches) {
        for (auto it = m_words.begin(); it != m_words.end(); ++it) {
            if (matches(*it) && std::any_of(std::next(it), m_words.end(), matches))
                return it;
        }
        return m_words.end();
    };
    auto victim = supersededAt(isTalkWord);
    if (victim == m_words.end())
        victim = supersededAt([](CommandWord w) { return w == CommandWord::Wnd; });
    if (victim == m_words.end()) {
        // Then all but one talk word and one Wnd are Shutdown, and the
        // capacity is at least three: a repeated Shutdown goes.
        victim = std::find(m_words.begin(), m_words.end(), CommandWord::Shutdown);
    }
    m_words.erase(victim);
    ++m_dropped;
}
