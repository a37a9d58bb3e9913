// What both backends of the TLS session share: the input and output buffers and the failure.
#include "framework/TlsSession.h"

#include <cstring>

namespace sys {

std::span<char> TlsSession::ReceiveSpace() {
    if (m_nInBegin > 0 && WholeRecord() == 0) {
        // Only the start of a record is left: it moves to the front, so that the next read
        // can be large.
        std::memmove(m_in.get(), m_in.get() + m_nInBegin, m_nInEnd - m_nInBegin);
        m_nInEnd -= m_nInBegin;
        m_nInBegin = 0;
    }
    if (m_state == State::Failed || m_state == State::Closed || m_bEnded)
        return {};
    return {m_in.get() + m_nInEnd, kInputCapacity - m_nInEnd};
}

void TlsSession::Received(size_t count) {
    m_nInEnd += count < kInputCapacity - m_nInEnd ? count : kInputCapacity - m_nInEnd;
}

void TlsSession::ReceivedEnd() {
    m_bEnded = true;
}

void TlsSession::Sent(size_t count) {
    m_nOutSent += count < m_out.size() - m_nOutSent ? count : m_out.size() - m_nOutSent;
    if (m_nOutSent == m_out.size()) {
        m_out.clear();
        m_nOutSent = 0;
    }
}

size_t TlsSession::WholeRecord() const {
    // Every record starts with its type, the version and the length of what follows.
    constexpr size_t kHeader = 5;
    const size_t available = m_nInEnd - m_nInBegin;
    if (available < kHeader)
        return 0;
    const auto* header = reinterpret_cast<const unsigned char*>(m_in.get() + m_nInBegin);
    const size_t size = kHeader + (size_t{header[3]} << 8 | header[4]);
    return size <= available ? size : 0;
}

void TlsSession::Fail(std::string reason) {
    if (m_state == State::Failed)
        return;
    m_state = State::Failed;
    m_strFailure = std::move(reason);
}

void TlsSession::FailAtEnd() {
    Fail(m_state == State::Handshaking ? "connection ended during the TLS handshake"
                                       : "connection ended without close_notify");
}

} // namespace sys
