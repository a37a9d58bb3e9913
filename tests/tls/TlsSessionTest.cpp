// The TLS session against nginx on loopback, which tests/tls/tls_servers.py runs and names
// through the environment: real sockets, the event loop, and the reply read by the launcher's
// own reader, as a download reads it. Built with the test CA as its pinned CA.
#include "framework/App.h"
#include "framework/TlsChannel.h"
#include "net/HttpReplyReader.h"
#include "net/TrustedCas.h"
#include "unit/TestSupport.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// One GET of /body over TLS; `failure` ends up empty only when the whole body came.
struct Fetch : CAsyncSocket {
    Fetch(std::string host, std::span<const sys::CertificateDer> pinned)
        : host(std::move(host)), pinned(pinned) {}
    void OnConnect(int error) override {
        if (error != 0)
            return Finish("connect failed");
        tls.emplace(*this, host, pinned);
        const std::string request =
            "GET /body HTTP/1.1\r\nHost: " + host + "\r\nConnection: close\r\n\r\n";
        tls->Send(request.data(), static_cast<int>(request.size()));
    }
    void OnSend(int) override {
        if (tls)
            tls->OnSend();
    }
    void OnReceive(int) override { Pump(); }
    void OnClose(int) override { Pump(); }
    void Pump() {
        std::string_view piece;
        int count = 0;
        while (tls && !done && (count = tls->Receive(piece)) > 0) {
            for (std::string_view body : reader.Feed(piece))
                hash.Update(body);
            if (reader.GetState() == zyn::HttpReplyReader::State::Complete) {
                sys::Sha256Digest sum;
                digest = hash.Final(sum) ? Hex(sum) : "";
                return Finish("");
            }
            if (reader.GetState() == zyn::HttpReplyReader::State::Failed)
                return Finish("reply: " + reader.GetFailure());
        }
        if (tls && !done && count == 0)
            Finish(tls->Failed() ? tls->GetFailure() : "ended before the body");
    }
    void Finish(std::string why) {
        failure = std::move(why);
        done = true;
        Close();
    }

    const std::string host;
    const std::span<const sys::CertificateDer> pinned;
    std::optional<CTlsChannel> tls;
    zyn::HttpReplyReader reader;
    sys::Sha256 hash;
    bool done = false;
    std::string failure, digest;
};

struct Case {
    const char* name;
    const char* host; // the server name; nginx answers it with its certificate
    const char* port; // the variable that names the server's port
    bool pinned;      // the test CA pinned, or the system's roots (SSL_CERT_FILE: the stranger CA)
    const char* failure; // what the reason says; empty: the whole body arrives
};

const Case kCases[] = {
    {"Tls12", "localhost", "ZYN_TLS12_PORT", true, ""},
    {"Tls13", "localhost", "ZYN_TLS13_PORT", true, ""},
    {"WrongName", "wrong.test", "ZYN_TLS12_PORT", true, "host name mismatch"},
    {"Expired", "expired.test", "ZYN_TLS12_PORT", true, "certificate has expired"},
    {"SelfSigned", "selfsigned.test", "ZYN_TLS12_PORT", true, "self-signed certificate"},
    {"UnknownIssuer", "stranger.test", "ZYN_TLS12_PORT", true, "unknown issuer"},
    {"SystemRootsTrusted", "stranger.test", "ZYN_TLS12_PORT", false, ""},
    {"SystemRootsRefuseTheTestCa", "localhost", "ZYN_TLS12_PORT", false, "unknown issuer"},
    {"Tls11Refused", "localhost", "ZYN_TLS11_PORT", true, "TLS handshake"},
    {"PlainHttpRefused", "localhost", "ZYN_PLAIN_PORT", true, "TLS handshake"},
};

class TlsSessionTest : public ::testing::TestWithParam<Case> {};

TEST_P(TlsSessionTest, FetchesTheBodyOrFailsWithTheReason) {
    const Case& c = GetParam();
    ASSERT_FALSE(Env(c.port).empty()) << "run through tests/tls/tls_servers.py";
    ASSERT_TRUE(AfxSocketInit());
    Fetch fetch(c.host, c.pinned ? zyn::TrustedCas() : std::span<const sys::CertificateDer>{});
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(fetch.Create(0, SOCK_STREAM_TYPE));
    ASSERT_TRUE(fetch.Connect(Env("ZYN_TLS_ADDRESS"), std::stoul(Env(c.port))));
    ASSERT_TRUE(PumpUntil([&] { return fetch.done; }, 30000)) << "no end within 30 s";
    // Wine 8's Schannel has no TLS 1.3 (ZYN_NO_TLS13 says so): a server of TLS 1.3 alone is
    // refused there as any server with no version in common.
    const bool noTls13 = !Env("ZYN_NO_TLS13").empty() && std::string(c.port) == "ZYN_TLS13_PORT";
    const std::string expected = noTls13 ? "TLS handshake" : c.failure;
    if (!expected.empty()) {
        EXPECT_NE(fetch.failure.find(expected), std::string::npos) << fetch.failure;
        return;
    }
    EXPECT_EQ(fetch.failure, "");
    EXPECT_EQ(fetch.reader.GetBodyBytes(), std::stoull(Env("ZYN_TLS_BODY_SIZE")));
    EXPECT_EQ(fetch.digest, Env("ZYN_TLS_BODY_SHA256"));
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
    std::printf("%s: %.0f MB/s, the body's SHA-256 included\n", c.name,
                static_cast<double>(fetch.reader.GetBodyBytes()) / 1e6 / wall.count());
}

INSTANTIATE_TEST_SUITE_P(Nginx, TlsSessionTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
