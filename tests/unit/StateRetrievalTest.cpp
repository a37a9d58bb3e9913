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
    const std::string proxied = "http://update.example/ok/";
    const struct {
        std::string url;
        bool viaProxy;
        std::string file;
    } cases[] = {
        // Kept alive by the server: the reply ends at its length or its last chunk.
        {server.Url("ok"), false, rewritten},
        {server.Url("chunked"), false, rewritten},
        {proxied, true, rewritten},
        {server.Url("cut"), false, "old"},
        {server.Url("notfound"), false, "old"},
        {large.Url("ok"), false, "old"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        WriteFile("zynSystemConfig.txt", "old");
        dlg.m_strProxyHost = c.viaProxy ? "127.0.0.1" : "";
        dlg.m_nProxyPort = static_cast<int32_t>(server.Port());
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
    EXPECT_EQ(server.Targets().at(2), "GET " + proxied + "clientgetconfig.php");
}
