// What a test's peer does to a socket beyond what the class offers, one file per platform.
#pragma once

#include "framework/AsyncSocket.h"

namespace test {
void ShutdownSending(CAsyncSocket& s); // a half-close
void CloseWithReset(CAsyncSocket& s);  // a close that resets the connection
// False where the platform reports a reset as a clean close (Wine 8: recv 0, FD_CLOSE without
// an error); Windows itself and Linux report it.
bool ResetsReported();
} // namespace test
