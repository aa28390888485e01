#include "remote_apps_pairing.h"

#include <algorithm>

namespace remote_apps {

Pairing::Step Pairing::start()
{
    Step step;
    if (m_phase != Phase::Idle)
        return step;
    m_phase = Phase::Connecting;
    step.connectInMs = 0;
    return step;
}

Pairing::Step Pairing::onOpened()
{
    Step step;
    if (m_phase != Phase::Connecting)
        return step;
    m_phase = Phase::Asking;
    step.sendAuth = m_key;
    step.askUser = m_key.isEmpty() && !m_askLogged;
    m_askLogged = m_askLogged || m_key.isEmpty();
    return step;
}

Pairing::Step Pairing::onAnswer(int statusCode, const QString &apiKey)
{
    if (m_phase != Phase::Asking && m_phase != Phase::Granted)
        return {};
    if (statusCode != 0)
        return refuse();
    Step step;
    if (m_phase == Phase::Asking) {
        m_phase = Phase::Granted;
        m_delayMs = m_firstMs;  // a later loss looks again quickly
        step.started = true;
    }
    // The key each answer carries is the one to keep.
    if (!apiKey.isEmpty() && apiKey != m_key) {
        m_key = apiKey;
        step.storeKey = apiKey;
    }
    return step;
}

Pairing::Step Pairing::onClosed(bool tooLarge)
{
    switch (m_phase) {
    case Phase::Connecting:
        return retry();
    case Phase::Asking: {
        if (tooLarge)
            return retry();
        // Refused, or TeamSpeak quit: the port tells which, a moment later.
        m_phase = Phase::Probing;
        Step step;
        step.probeInMs = m_firstMs;
        return step;
    }
    case Phase::Granted: {
        Step step = retry();
        step.ended = true;
        return step;
    }
    case Phase::Idle:
    case Phase::Probing:
    case Phase::Refused:
        break;
    }
    return {};
}

Pairing::Step Pairing::onProbe(bool listening)
{
    if (m_phase != Phase::Probing)
        return {};
    return listening ? refuse() : retry();
}

Pairing::Step Pairing::retry()
{
    m_phase = Phase::Connecting;
    Step step;
    step.connectInMs = m_delayMs;
    m_delayMs = std::min(m_delayMs * 2, m_firstMs * kSlowestFactor);
    return step;
}

Pairing::Step Pairing::refuse()
{
    Step step;
    step.ended = m_phase == Phase::Granted;
    step.refused = true;
    m_phase = Phase::Refused;
    if (!m_key.isEmpty()) {
        m_key.clear();
        step.storeKey = QString();
    }
    return step;
}

}  // namespace remote_apps
