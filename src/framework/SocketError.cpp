// The last socket error of the program's one thread, the same for every backend.
#include "framework/SocketError.h"

#include "framework/AsyncSocket.h"

namespace {
int g_lastError = 0;
}

int FailCount(int code) {
    g_lastError = code;
    return -1;
}

bool FailCall(int code) {
    g_lastError = code;
    return false;
}

int CAsyncSocket::GetLastError() {
    return g_lastError;
}
