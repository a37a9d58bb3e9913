// SHA-256 on a worker thread, fed through a few recycled buffers.
#include "framework/BackgroundSha256.h"

#include <algorithm>
#include <cstring>

namespace sys {

BackgroundSha256::BackgroundSha256() {
    for (Buffer& buffer : m_buffers)
        m_free.push_back(&buffer);
    m_filling = m_free.front();
    m_free.pop_front();
    m_worker = std::thread([this] { Run(); });
}

BackgroundSha256::~BackgroundSha256() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_finishing = true;
        m_full.clear();
    }
    m_changed.notify_all();
    if (m_worker.joinable())
        m_worker.join();
}

void BackgroundSha256::Update(std::string_view data) {
    while (!data.empty()) {
        const size_t take = std::min(data.size(), kBufferSize - m_filling->used);
        std::memcpy(m_filling->bytes.data() + m_filling->used, data.data(), take);
        m_filling->used += take;
        data.remove_prefix(take);
        if (m_filling->used == kBufferSize)
            Push();
    }
}

// Hands the caller's buffer over and takes a free one, waiting for the worker if none is.
void BackgroundSha256::Push() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_full.push_back(m_filling);
    m_changed.notify_all();
    m_changed.wait(lock, [this] { return !m_free.empty(); });
    m_filling = m_free.front();
    m_free.pop_front();
    m_filling->used = 0;
}

bool BackgroundSha256::Final(Sha256Digest& digest) {
    if (m_filling->used > 0)
        Push();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_finishing = true;
    }
    m_changed.notify_all();
    if (m_worker.joinable())
        m_worker.join();
    return m_hash.Final(digest);
}

void BackgroundSha256::Run() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return !m_full.empty() || m_finishing; });
        if (m_full.empty())
            return;
        Buffer* buffer = m_full.front();
        m_full.pop_front();
        lock.unlock();
        m_hash.Update(buffer->bytes.data(), buffer->used);
        lock.lock();
        m_free.push_back(buffer);
        m_changed.notify_all();
    }
}

} // namespace sys
