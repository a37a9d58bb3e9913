// The UDP socket through which the launch asks the deep resolution servers for an address.
#pragma once

#include "framework/AsyncSocket.h"

class CLaunchEvents;

class CDeepResolverSocket : public CAsyncSocket {
  public:
    // Opens a UDP socket on any free local port with all notifications requested.
    CDeepResolverSocket();
    ~CDeepResolverSocket() override = default;

    CLaunchEvents* m_pOwner = nullptr; // not owned

  protected:
    // One datagram per notification; an accepted answer goes to the owner.
    void OnReceive(int errorCode) override;
};
