// The deep resolver socket: created for the whole launch; answers are handled by a later piece.
#include "net/DeepResolverSocket.h"

CDeepResolverSocket::CDeepResolverSocket() {
    Create(0, SOCK_DGRAM_TYPE, FD_ALL_EVENTS);
}
