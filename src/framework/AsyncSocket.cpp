// What every backend's socket shares: the last error of the program's one thread, and the
// handler each notification calls.
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

void CAsyncSocket::Notify(int event, int error) {
    switch (event) {
    case FD_READ_EVENT:
        OnReceive(error);
        break;
    case FD_WRITE_EVENT:
        OnSend(error);
        break;
    case FD_OOB_EVENT:
        OnOutOfBandData(error);
        break;
    case FD_ACCEPT_EVENT:
        OnAccept(error);
        break;
    case FD_CONNECT_EVENT:
        OnConnect(error);
        break;
    case FD_CLOSE_EVENT:
        OnClose(error);
        break;
    default:
        break;
    }
}
