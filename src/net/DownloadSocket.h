// The client that fetches one queued component. Only its ownership contract exists so far:
// the launch window destroys a client once it reports its file complete.
#pragma once

#include "AsyncSocket.h"

class CDownloadSocket : public CAsyncSocket {
  public:
    ~CDownloadSocket() override = default;
};
