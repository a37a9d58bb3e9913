// SHA-256 on a worker thread, fed through a bounded queue.
#include "framework/BackgroundSha256.h"

namespace sys {

BackgroundSha256::BackgroundSha256() : m_worker([this] { Run(); }) {}

BackgroundSha256::~BackgroundSha256() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_finishing = true;
        m_blocks.clear();
    }
    m_changed.notify_all();
    if (m_worker.joinable())
        m_worker.join();
}

void BackgroundSha256::Update(std::string_view data) {
    m_pending.append(data);
    if (m_pending.size() >= kBlock)
        Push();
}

void BackgroundSha256::Push() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return m_queued < kQueueLimit; });
    m_queued += m_pending.size();
    m_blocks.push_back(std::move(m_pending));
    m_pending.clear();
    lock.unlock();
    m_changed.notify_all();
}

bool BackgroundSha256::Final(Sha256Digest& digest) {
    if (!m_pending.empty())
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
    for (;;) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_blocks.empty() || m_finishing; });
        if (m_blocks.empty())
            return;
        std::string block = std::move(m_blocks.front());
        m_blocks.pop_front();
        lock.unlock();
        m_hash.Update(block);
        lock.lock();
        m_queued -= block.size();
        lock.unlock();
        m_changed.notify_all();
    }
}

} // namespace sys
