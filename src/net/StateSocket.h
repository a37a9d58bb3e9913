// The connection that fetches a fresh system state. Only its ownership contract exists so far:
// the launch window destroys a retrieval that has not ended by stage 3.
#pragma once

#include "AsyncSocket.h"

class CStateSocket : public CAsyncSocket {
  public:
    ~CStateSocket() override = default;
};
