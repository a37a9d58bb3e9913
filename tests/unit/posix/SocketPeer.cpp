// The test peer on Linux.
#include "../SocketPeer.h"

#include <sys/socket.h>

namespace test {

void ShutdownSending(CAsyncSocket& s) {
    shutdown(static_cast<int>(s.GetHandle()), SHUT_WR);
}
void CloseWithReset(CAsyncSocket& s) {
    const linger hard{1, 0};
    setsockopt(static_cast<int>(s.GetHandle()), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    s.Close();
}
bool ResetsReported() {
    return true;
}

} // namespace test
