// The test peer on Windows.
#include "../SocketPeer.h"

#include <winsock2.h>

namespace test {

void ShutdownSending(CAsyncSocket& s) {
    shutdown(static_cast<SOCKET>(s.GetHandle()), SD_SEND);
}
void CloseWithReset(CAsyncSocket& s) {
    const linger hard{1, 0};
    setsockopt(static_cast<SOCKET>(s.GetHandle()), SOL_SOCKET, SO_LINGER,
               reinterpret_cast<const char*>(&hard), sizeof hard);
    s.Close();
}
bool ResetsReported() {
    return !GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version");
}

} // namespace test
