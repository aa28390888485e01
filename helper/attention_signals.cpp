#include "attention_signals.h"

#include <algorithm>

void AttentionSignals::dismiss()
{
    for (const Signal signal : {Signal::Poked, Signal::Message, Signal::Whispered, Signal::Joined}) {
        if (isTimed(signal))
            m_until[int(signal)] = kNever;
    }
}

void AttentionSignals::merge(const AttentionSignals &other)
{
    for (int signal = 0; signal < kSignalCount; ++signal)
        m_until[signal] = std::max(m_until[signal], other.m_until[signal]);
}
