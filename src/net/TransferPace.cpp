// The stall window and the average rate of a transfer, in ticks.
#include "net/TransferPace.h"

namespace zyn {

void TransferPace::Restart() {
    m_bytes = 0;
    m_ticks = 0;
    m_bytesAtTick.fill(0);
    m_rateTicks = 0;
    m_bRateStarted = false;
}

bool TransferPace::Tick() {
    // Before the window is full, its oldest slot still holds the 0 the window started with.
    uint64_t& slot = m_bytesAtTick[m_ticks % kStallTicks];
    const uint64_t windowStart = slot;
    slot = m_bytes;
    if (++m_ticks >= kStallTicks && m_bytes - windowStart < kStallBytes)
        return false;
    if (m_bRateStarted)
        ++m_rateTicks;
    else
        m_bRateStarted = m_bytes > 0;
    return m_rateTicks < kRateTicks || m_bytes >= kRateBytes * m_rateTicks;
}

} // namespace zyn
