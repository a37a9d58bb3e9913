// Whether a transfer keeps a pace that lets it end: bytes counted as they arrive, judged at each
// tick of the owner's periodic timer. No clock here: time is the number of ticks.
#pragma once

#include <array>
#include <cstdint>

namespace zyn {

class TransferPace {
  public:
    // Fewer than kStallBytes over the last kStallTicks ticks: silence, and a peer that trickles
    // a byte now and then to hold the connection, alike. The window starts with the restart.
    static constexpr unsigned kStallTicks = 30;
    static constexpr uint64_t kStallBytes = 4096;
    // Fewer than kRateBytes a tick on average since the first byte, once kRateTicks ticks have
    // passed since it: a peer that keeps just over the stall floor would otherwise hold a launch
    // for days. A tick of a second makes it 1 KiB/s after the first minute, which a slow link
    // of 2 KB/s passes.
    static constexpr unsigned kRateTicks = 60;
    static constexpr uint64_t kRateBytes = 1024;

    // A new connection: both measures start again.
    void Restart();
    void Count(uint64_t bytes) { m_bytes += bytes; }
    // One tick; false once the transfer is too slow to go on.
    bool Tick();

  private:
    uint64_t m_bytes = 0; // since the restart, header and framing included
    unsigned m_ticks = 0; // since the restart
    // m_bytes at each of the last kStallTicks ticks, by tick number modulo kStallTicks.
    std::array<uint64_t, kStallTicks> m_bytesAtTick{};
    // Ticks since the one that first found a byte, which counts as none: the time since the
    // byte is never less than counted, so only a truly slow average fails.
    unsigned m_rateTicks = 0;
    bool m_bRateStarted = false;
};

} // namespace zyn
