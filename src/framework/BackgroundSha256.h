// SHA-256 computed on a worker thread as blocks arrive, so that hashing a download overlaps its
// receiving: the caller's thread only copies each block into one of a few recycled buffers.
#pragma once

#include "framework/Crypto.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

namespace sys {

class BackgroundSha256 {
  public:
    BackgroundSha256();
    ~BackgroundSha256();
    BackgroundSha256(const BackgroundSha256&) = delete;
    BackgroundSha256& operator=(const BackgroundSha256&) = delete;

    // Waits only while every buffer is still unhashed, the time the worker takes for one, so
    // that memory stays bounded when the network outruns the hash.
    void Update(std::string_view data);
    // Waits for the rest, then as Sha256::Final.
    bool Final(Sha256Digest& digest);

  private:
    static constexpr size_t kBufferSize = 256 * 1024;
    static constexpr size_t kBuffers = 8;
    struct Buffer {
        std::vector<char> bytes = std::vector<char>(kBufferSize);
        size_t used = 0;
    };
    void Push();
    void Run();

    std::vector<Buffer> m_buffers = std::vector<Buffer>(kBuffers);
    Buffer* m_filling = nullptr; // the caller's, until it is full
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Buffer*> m_full, m_free;
    bool m_finishing = false;
    Sha256 m_hash; // the worker's until it has ended
    std::thread m_worker;
};

} // namespace sys
