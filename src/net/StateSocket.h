// The connection that fetches a fresh system state from an update server. The launch window
// creates it in stage 2 and destroys it when the reply has ended, or in stage 3 at the latest.
#pragma once

#include "net/HttpTransfer.h"

#include <cstdint>
#include <string>

class CLaunchEvents;

class CStateSocket : public CHttpTransfer {
  public:
    // `kind` 1 is the system state, the only kind there is.
    CStateSocket(CLaunchEvents* owner, int kind);
    ~CStateSocket() override = default;

    // Starts the GET of `url`. A start that fails leaves the object idle until the owner
    // destroys it.
    void RequestUrl(const std::string& url, const zyn::TransferSettings& settings);

    CLaunchEvents* m_pOwner; // not owned
    int32_t m_nKind;
    std::string m_strReply; // the body received so far
    std::string m_strUrl;

  protected:
    std::string BuildRequest(const zyn::HttpUrl& url,
                             const zyn::RequestContext& context) const override;
    bool OnBodyBytes(std::string_view bytes) override;
    // Only a whole reply reaches the owner; one that fails leaves the object idle.
    void OnTransferEnd(bool complete) override;
    void OnFailureNote(const std::string& text) override;
};
