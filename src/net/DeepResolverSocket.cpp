// The deep resolver socket: open for the whole launch, it hands every accepted answer, from
// whichever sender, to the launch window.
#include "net/DeepResolverSocket.h"

#include "net/DeepAnswer.h"
#include "net/LaunchEvents.h"

#include <string_view>

namespace {
// A longer datagram is lost by the receive and so never taken for an answer.
constexpr int kMaxAnswerSize = 8192;
} // namespace

CDeepResolverSocket::CDeepResolverSocket() {
    Create(0, SOCK_DGRAM_TYPE, FD_ALL_EVENTS);
}

void CDeepResolverSocket::OnReceive(int errorCode) {
    (void)errorCode; // a failed datagram shows in the receive itself
    char datagram[kMaxAnswerSize];
    std::string sender;
    unsigned senderPort = 0;
    const int length = ReceiveFrom(datagram, sizeof datagram, sender, senderPort);
    if (length < 1)
        return;
    zyn::DeepAnswer answer{};
    if (!zyn::ParseDeepAnswer(std::string_view(datagram, static_cast<size_t>(length)), answer))
        return;
    if (m_pOwner)
        m_pOwner->OnDeepServerFound(sender, answer.ip, answer.port);
}
