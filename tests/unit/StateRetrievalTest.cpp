// Stage 2's retrieval against a loopback server, through the socket and the rewrite: only a
// whole 2xx reply that carries the marker, and with trusted keys only a signed one, replaces
// "zynSystemConfig.txt".
#include "LaunchHarness.h"
#include "LoopbackHttpServer.h"
#include "TrustVectors.h"
#include "config/StateBody.h"
#include "formats/PublicKeyPem.h"
#include "framework/AsyncSocket.h"
#include "framework/System.h"
#include "net/StateSocket.h"

#include <gtest/gtest.h>

using StateRetrieval = LaunchTest;

TEST_F(StateRetrieval, OnlyAWholeMarkedReplyRewritesTheFile) {
    const std::string state = "ZYN_XSERVER_CONFIG;\nZynOrbitalServer=orb.example:9000;\n";
    const std::string rewritten = "ZynOrbitalServer=orb.example:9000;\r\n";
    LoopbackHttpServer server, large;
    ASSERT_TRUE(server.Start() && large.Start());
    server.files["clientgetconfig.php"] = state;
    large.files["clientgetconfig.php"] = state + std::string(1024 * 1024, '#');
    const struct {
        std::string url;
        std::string file;
    } cases[] = {
        // Kept alive by the server: the reply ends at its length.
        {server.Url("ok"), rewritten},
        {server.Url("cut"), "old"},
        {server.Url("notfound"), "old"},
        {large.Url("ok"), "old"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        WriteFile("zynSystemConfig.txt", "old");
        dlg.m_updateURLs.RemoveAll();
        dlg.m_updateURLs.AddTail(c.url);
        dlg.RequestSystemState();
        for (int round = 0; round < 500 && dlg.m_pStateSocket && dlg.m_pStateSocket->IsUnderWay();
             ++round)
            AfxPumpEvents(10);
        EXPECT_TRUE(!dlg.m_pStateSocket || !dlg.m_pStateSocket->IsUnderWay());
        EXPECT_EQ(ReadFile("zynSystemConfig.txt"), c.file);
        dlg.m_pStateSocket.reset();
    }
}

TEST_F(StateRetrieval, WithKeysOnlyASignedStateThatTheDiskAndTheClockAllowIsWritten) {
    const std::vector<sys::P256PublicKey> keys{formats::ParseP256PublicKeys(kPublicKeyA).keys[0]};
    const std::string signedBody = std::string(zyn::kStateMarker) + "\n" + kSigned_full;
    std::string tampered = signedBody;
    tampered[30] ^= 1;
    std::string installed;
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
    dlg.m_trustedKeys = keys;
    dlg.m_updateURLs.AddTail(server.Url("ok"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        server.files["clientgetconfig.php"] = c.body;
        WriteFile("zynSystemConfig.txt", c.onDisk);
        sys::FixCalendarTime(c.now);
        dlg.RequestSystemState();
        for (int round = 0; round < 500 && dlg.m_pStateSocket; ++round)
            AfxPumpEvents(10);
        sys::FixCalendarTime(std::nullopt);
        EXPECT_EQ(dlg.m_pStateSocket, nullptr);
        EXPECT_EQ(ReadFile("zynSystemConfig.txt"), c.written ? installed : c.onDisk);
    }
}
