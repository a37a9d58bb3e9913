// The attempts of one connect as RFC 8305 races them.
#include "framework/ConnectRace.h"

#include "framework/AsyncSocket.h"

#include <algorithm>

namespace sys {

std::vector<std::string> OrderConnectionAttempts(const std::vector<std::string>& addresses) {
    std::vector<std::string> v6, v4;
    for (const std::string& address : addresses)
        (address.find(':') != std::string::npos ? v6 : v4).push_back(address);
    std::vector<std::string> order;
    for (size_t i = 0; i < std::max(v6.size(), v4.size()); ++i) {
        if (i < v6.size())
            order.push_back(v6[i]);
        if (i < v4.size())
            order.push_back(v4[i]);
    }
    return order;
}

ConnectRace::Step ConnectRace::Resolved(const std::vector<std::string>& addresses, uint64_t nowMs) {
    if (m_phase != Phase::LookingUp)
        return {};
    m_addresses = OrderConnectionAttempts(addresses);
    if (m_addresses.empty())
        return End(std::nullopt, SOCK_ERR_HOST_NOT_FOUND);
    m_phase = Phase::Racing;
    return StartNext(nowMs);
}

ConnectRace::Step ConnectRace::Connected(size_t attempt) {
    if (m_phase != Phase::Racing || std::erase(m_underWay, attempt) == 0)
        return {};
    return End(attempt, 0);
}

ConnectRace::Step ConnectRace::Failed(size_t attempt, int error, uint64_t nowMs) {
    if (m_phase != Phase::Racing || std::erase(m_underWay, attempt) == 0)
        return {};
    m_lastError = error;
    // A refusal says nothing about the other addresses: the next one need not wait its turn.
    if (m_started < m_addresses.size())
        return StartNext(nowMs);
    return m_underWay.empty() ? End(std::nullopt, m_lastError) : Step{};
}

ConnectRace::Step ConnectRace::Tick(uint64_t nowMs) {
    const std::optional<uint64_t> due = NextDeadline();
    if (!due || nowMs < *due)
        return {};
    if (m_phase == Phase::LookingUp)
        return End(std::nullopt, SOCK_ERR_HOST_NOT_FOUND);
    return StartNext(nowMs);
}

std::optional<uint64_t> ConnectRace::NextDeadline() const {
    if (m_phase == Phase::LookingUp || (m_phase == Phase::Racing && m_started < m_addresses.size()))
        return m_deadline;
    return std::nullopt;
}

ConnectRace::Step ConnectRace::StartNext(uint64_t nowMs) {
    m_underWay.push_back(m_started);
    m_deadline = nowMs + kAttemptDelayMs;
    Step step;
    step.start = m_started++;
    return step;
}

ConnectRace::Step ConnectRace::End(std::optional<size_t> winner, int error) {
    m_phase = Phase::Over;
    m_underWay.clear();
    Step step;
    step.over = true;
    step.winner = winner;
    step.error = error;
    return step;
}

} // namespace sys
