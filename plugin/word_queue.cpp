#include "word_queue.h"

#include <algorithm>

using protocol::CommandWord;

WordKind wordKind(CommandWord word)
{
    switch (word) {
    case CommandWord::Start:
    case CommandWord::Stop:
    case CommandWord::Mute:
    case CommandWord::StartOther:
        return WordKind::Talk;
    case CommandWord::LightsOff:
    case CommandWord::LightsOn:
        return WordKind::Lights;
    case CommandWord::SoundMuted:
    case CommandWord::SoundUnmuted:
        return WordKind::Sound;
    case CommandWord::MicMuted:
    case CommandWord::MicUnmuted:
        return WordKind::Mic;
    case CommandWord::Away:
    case CommandWord::Back:
        return WordKind::Away;
    case CommandWord::Offline:
    case CommandWord::Online:
        return WordKind::Connection;
    case CommandWord::Whisper:
    case CommandWord::WhisperEnd:
        return WordKind::Whisper;
    case CommandWord::Wnd:
        return WordKind::Wnd;
    case CommandWord::Dismiss:
        return WordKind::Dismiss;
    case CommandWord::Poke:
        return WordKind::Poke;
    case CommandWord::Message:
        return WordKind::Message;
    case CommandWord::Join:
        return WordKind::Join;
    case CommandWord::Shutdown:
    case CommandWord::Quit:  // not the plugin's to send
        break;
    }
    return WordKind::Shutdown;
}

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

bool WordQueue::holds(WordKind kind) const
{
    return std::any_of(m_words.begin(), m_words.end(), [kind](CommandWord word) { return wordKind(word) == kind; });
}

void WordQueue::trim()
{
    if (m_words.size() <= m_capacity)
        return;
    // The oldest word of the kinds asked for with a later one of its own
    // kind behind it: it says nothing the later one does not.
    const auto supersededAt = [this](auto among) {
        for (auto it = m_words.begin(); it != m_words.end(); ++it) {
            const WordKind kind = wordKind(*it);
            if (among(kind) && std::any_of(std::next(it), m_words.end(), [kind](CommandWord later) {
                    return wordKind(later) == kind;
                }))
                return it;
        }
        return m_words.end();
    };
    auto victim = supersededAt([](WordKind kind) { return kind == WordKind::Talk; });
    if (victim == m_words.end())
        victim = supersededAt([](WordKind kind) { return int(kind) < kStateWordKinds; });
    if (victim == m_words.end())
        victim = supersededAt([](WordKind kind) { return kind == WordKind::Wnd || kind == WordKind::Dismiss; });
    if (victim == m_words.end())
        victim = supersededAt([](WordKind kind) { return keptUntilSuperseded(kind) && kind != WordKind::Shutdown; });
    if (victim == m_words.end())
        victim = supersededAt([](WordKind kind) { return kind == WordKind::Shutdown; });
    if (victim == m_words.end()) {
        // One word of each kind, more than a tiny queue holds: the oldest
        // that may go alone goes. The minimum capacity leaves one.
        victim = std::find_if(m_words.begin(), m_words.end(),
                              [](CommandWord word) { return !keptUntilSuperseded(wordKind(word)); });
    }
    m_words.erase(victim);
    ++m_dropped;
}
