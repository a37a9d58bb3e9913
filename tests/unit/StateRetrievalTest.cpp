// Stage 2's retrieval against a loopback server: only a whole marked 2xx reply, and with keys
// only a signed one that the disk and the clock allow, replaces "zynSystemConfig.txt".
#include "LaunchHarness.h"
#include "LoopbackHttpServer.h"
#include "TrustVectors.h"
#include "config/StateBody.h"
#include "formats/PublicKeyPem.h"
#include "net/StateSocket.h"

namespace {

class StateRetrieval : public LaunchTest {
  protected:
    // Asks `url` for the state over a file that holds `onDisk`; what the file holds after.
    std::string Retrieve(const std::string& url, const std::string& onDisk) {
        WriteFile("zynSystemConfig.txt", onDisk);
        dlg.m_updateURLs.RemoveAll();
        dlg.m_updateURLs.AddTail(url);
        dlg.RequestSystemState();
        EXPECT_TRUE(
            PumpUntil([&] { return !dlg.m_pStateSocket || !dlg.m_pStateSocket->IsUnderWay(); }));
        dlg.m_pStateSocket.reset();
        return ReadFile("zynSystemConfig.txt");
    }
};

TEST_F(StateRetrieval, OnlyAWholeMarkedReplyRewritesTheFile) {
    const std::string state = "ZYN_XSERVER_CONFIG;\nZynOrbitalServer=orb.example:9000;\n";
    LoopbackHttpServer server, large;
    ASSERT_TRUE(server.Start() && large.Start());
    server.files["clientgetconfig.php"] = state;
    large.files["clientgetconfig.php"] = state + std::string(1024 * 1024, '#');
    // Kept alive by the server: the reply ends at its length.
    EXPECT_EQ(Retrieve(server.Url("ok"), "old"), "ZynOrbitalServer=orb.example:9000;\r\n");
    for (const std::string& url : {server.Url("cut"), server.Url("notfound"), large.Url("ok")})
        EXPECT_EQ(Retrieve(url, "old"), "old") << url;
}

TEST_F(StateRetrieval, WithKeysOnlyASignedStateThatTheDiskAndTheClockAllowIsWritten) {
    const std::string signedBody = std::string(zyn::kStateMarker) + "\n" + kSigned_full;
    std::string tampered = signedBody, installed;
    tampered[30] ^= 1;
    ASSERT_TRUE(zyn::RewriteStateBody(signedBody, installed));
    LoopbackHttpServer server;
    ASSERT_TRUE(server.Start());
    const int64_t beforeExpiry = 1700000000, afterExpiry = 2000000001;
    const struct {
        const char* name;
        std::string body, onDisk;
        int64_t now;
        bool written;
    } cases[] = {
        {"signed and current", signedBody, "old", beforeExpiry, true},
        {"a byte altered", tampered, "old", beforeExpiry, false},
        {"expired by the clock", signedBody, "old", afterExpiry, false},
        {"older than the state on disk", signedBody, "ZynSerial=8;\r\n", beforeExpiry, false},
        {"the serial on disk, on another state", signedBody, "ZynSerial=7;\r\n", beforeExpiry,
         false},
        {"the very state on disk again", signedBody, installed, beforeExpiry, true},
    };
    const std::vector<sys::P256PublicKey> keys{formats::ParseP256PublicKeys(kPublicKeyA).keys[0]};
    dlg.m_trustedKeys = keys;
    for (const auto& c : cases) {
        server.files["clientgetconfig.php"] = c.body;
        sys::FixCalendarTime(c.now);
        EXPECT_EQ(Retrieve(server.Url("ok"), c.onDisk), c.written ? installed : c.onDisk) << c.name;
        sys::FixCalendarTime(std::nullopt);
    }
}

} // namespace
