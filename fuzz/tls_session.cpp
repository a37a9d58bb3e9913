// Fuzzes the TLS session (OpenSSL's backend) with bytes as a server would send them, in blocks
// whose size the first byte picks: it never takes more than the space it offered, gives no
// plaintext unless open, and a server that cannot have proved itself ends in a named failure.
#include "FuzzCheck.h"
#include "framework/TlsSession.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // No trusted root at all, and none to load for each run.
    setenv("SSL_CERT_FILE", "/dev/null", 1);
    setenv("SSL_CERT_DIR", "/nonexistent", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const size_t block = 1 + size_t{data[0]} * 128;
    const char* in = reinterpret_cast<const char*>(data + 1);
    sys::TlsSession session("localhost", {});
    Require(!session.Output().empty());
    for (size_t left = size - 1;;) {
        for (std::string_view piece; !(piece = session.Read()).empty();)
            Require(session.GetState() == sys::TlsSession::State::Open);
        session.Sent(session.Output().size());
        const std::span<char> space = session.ReceiveSpace();
        if (left == 0 || space.empty())
            break;
        const size_t count = std::min({block, left, space.size()});
        std::memcpy(space.data(), in, count);
        session.Received(count);
        in += count;
        left -= count;
    }
    session.ReceivedEnd();
    session.Read();
    Require(session.GetState() == sys::TlsSession::State::Failed && !session.GetFailure().empty());
    return 0;
}
