// What the network tells the launch: the one way up from the sockets to the window that owns
// them, which implements it. Each call may destroy the socket that makes it.
#pragma once

#include <string>

class CDownloadSocket;
class CStateSocket;

class CLaunchEvents {
  public:
    virtual void OnSystemStateReceived(CStateSocket* socket, const std::string& body, int kind) = 0;
    virtual void OnDownloadFinished(CDownloadSocket* client) = 0;
    // A download whose file did not arrive: the next mirror, or the failure reported.
    virtual void OnDownloadFailed(CDownloadSocket* client) = 0;
    virtual void OnDeepServerFound(const std::string& server, const std::string& deepIP,
                                   int deepPort) = 0;
    // Why a transfer failed, where its reply cannot say (a certificate, a proxy's refusal): for
    // the trace, never shown.
    virtual void OnTransferNote(const std::string& text) = 0;

  protected:
    ~CLaunchEvents() = default;
};
