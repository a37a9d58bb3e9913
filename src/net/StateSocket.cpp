// The system state retrieval's connection.
#include "net/StateSocket.h"

#include "config/StateBody.h"
#include "net/HttpRequest.h"
#include "net/LaunchEvents.h"

CStateSocket::CStateSocket(CLaunchEvents* owner, int kind)
    : CHttpTransfer(zyn::kStateBodyLimit), m_pOwner(owner), m_nKind(kind) {}

void CStateSocket::RequestUrl(const std::string& url, const zyn::TransferSettings& settings) {
    m_strUrl = url;
    BeginTransfer(url, settings);
}

std::string CStateSocket::BuildRequest(const zyn::HttpUrl& url,
                                       const zyn::RequestContext& context) const {
    return zyn::BuildStateRequest(url, context);
}

bool CStateSocket::OnBodyBytes(std::string_view bytes) {
    m_strReply.append(bytes);
    return true;
}

void CStateSocket::OnFailureNote(const std::string& text) {
    m_pOwner->OnTransferNote(text);
}

void CStateSocket::OnTransferEnd(bool complete) {
    if (!complete)
        return;
    // The owner destroys this object before it looks at the body.
    const int kind = m_nKind;
    const std::string body = std::move(m_strReply);
    m_pOwner->OnSystemStateReceived(this, body, kind);
}
