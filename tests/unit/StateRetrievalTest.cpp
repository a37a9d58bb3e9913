// Stage 2's retrieval against a loopback server, through the socket and the rewrite: only a
// whole 2xx reply that carries the marker replaces "zynSystemConfig.txt".
#include "AsyncSocket.h"
#include "LaunchHarness.h"
#include "LoopbackHttpServer.h"
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
        delete dlg.m_pStateSocket;
        dlg.m_pStateSocket = nullptr;
    }
}
