// SHA-256 computed on a worker thread as blocks arrive, so that hashing a download overlaps its
// receiving: the caller's thread only copies each block into a bounded queue.
#pragma once

#include "framework/Crypto.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace sys {

class BackgroundSha256 {
  public:
    BackgroundSha256();
    ~BackgroundSha256();
    BackgroundSha256(const BackgroundSha256&) = delete;
    BackgroundSha256& operator=(const BackgroundSha256&) = delete;

    // Waits only while kQueueLimit bytes are still unhashed, the time the worker takes for one
    // block, so that memory stays bounded when the network outruns the hash.
    void Update(std::string_view data);
    // Waits for the rest, then as Sha256::Final.
    bool Final(Sha256Digest& digest);

  private:
    static constexpr size_t kBlock = 256 * 1024;
    static constexpr size_t kQueueLimit = 2 * 1024 * 1024;
    void Push();
    void Run();

    std::string m_pending; // the caller's part block, handed over whole
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::string> m_blocks;
    size_t m_queued = 0;
    bool m_finishing = false;
    Sha256 m_hash; // the worker's until it has ended
    std::thread m_worker;
};

} // namespace sys
