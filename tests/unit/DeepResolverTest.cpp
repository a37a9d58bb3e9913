// The deep resolver over loopback UDP: the probes of a scan, the answers that reach the window.
#include "LaunchHarness.h"
#include "net/DeepAnswer.h"
#include "net/DeepResolverSocket.h"

namespace {

// Counts its notifications, so a test knows when a datagram, taken or not, has been handled.
struct CountingSocket : CDeepResolverSocket {
    int notifications = 0;
    void OnReceive(int errorCode) override {
        CDeepResolverSocket::OnReceive(errorCode);
        ++notifications;
    }
};

class DeepResolver : public LaunchTest {
  protected:
    void SetUp() override {
        LaunchTest::SetUp();
        dlg.InitDialog();
    }
};

TEST_F(DeepResolver, AScanProbesEveryResolvableServerFromTheAnsweredSocket) {
    // Every listed server is this machine, so one socket on the resolver port stands for all.
    CAsyncSocket servers;
    ASSERT_TRUE(servers.Create(zyn::kDeepResolverPort, SOCK_DGRAM_TYPE));
    for (const char* server : {"127.0.0.1", "no-such-host.invalid", "localhost", "127.0.0.2"})
        dlg.m_deepServers.AddTail(server);
    const unsigned launchPort = dlg.m_pDeepResolverSocket->GetLocalPort();
    dlg.ScanDeepServers();

    // The names are looked up on a worker, and the probes all go out once they are.
    Texts probes;
    char buffer[64];
    std::string sender;
    unsigned senderPort = 0;
    EXPECT_TRUE(PumpUntil([&] {
        for (int n; (n = servers.ReceiveFrom(buffer, sizeof buffer, sender, senderPort)) >= 0;) {
            probes.emplace_back(buffer, static_cast<size_t>(n));
            EXPECT_EQ(senderPort, launchPort); // where the answers must come back to
        }
        return probes.size() >= 3;
    }));
    EXPECT_EQ(probes, Texts(3, std::string(zyn::kDeepProbe)));

    // After the close the launch no longer listens, and sends nothing.
    dlg.CloseLauncher();
    dlg.ScanDeepServers();
    EXPECT_EQ(servers.ReceiveFrom(buffer, sizeof buffer, sender, senderPort), -1);
    EXPECT_EQ(CAsyncSocket::GetLastError(), SOCK_ERR_WOULDBLOCK);
}

TEST_F(DeepResolver, AnswersFromAnySenderAreTakenOrIgnoredWholeAndTheLastTakenCounts) {
    auto* socket = new CountingSocket;
    dlg.m_pDeepResolverSocket.reset(socket);
    socket->m_pOwner = &dlg;
    // The answers come from a sender that is not listed, and from no particular port.
    dlg.m_deepServers.AddTail("192.0.2.1");
    CAsyncSocket sender;
    ASSERT_TRUE(sender.Create(0, SOCK_DGRAM_TYPE));

    const std::string marker = "ZYN_DEEP_RESOLVER_DISCOVER;", padded = marker + "10.0.0.8;8;";
    const struct {
        std::string datagram;
        bool taken;
        const char* ip; // the window's result after this datagram
        int port;
    } cases[] = {
        // Which answers the parser takes is its own test's: here one of each, and the sizes.
        {marker + "10.1.2.3;4000;", true, "10.1.2.3", 4000},
        {marker + "10.0.0.1 -mode x;1;", false, "10.1.2.3", 4000},
        {marker, true, "", 0},
        {padded + std::string(8192 - padded.size(), 'x'), true, "10.0.0.8", 8},
        {marker + "10.0.0.9;9;" + std::string(8193 - padded.size(), 'x'), false, "10.0.0.8", 8},
    };
    int taken = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.datagram.substr(0, 48));
        const int before = socket->notifications;
        sender.SendTo(c.datagram.data(), static_cast<int>(c.datagram.size()),
                      socket->GetLocalPort(), "127.0.0.1");
        ASSERT_TRUE(PumpUntil([&] { return socket->notifications > before; }));
        taken += c.taken;
        EXPECT_EQ(dlg.m_strDeepServer, "127.0.0.1");
        EXPECT_EQ(dlg.m_strDeepIP, c.ip);
        EXPECT_EQ(dlg.m_nDeepPort, c.port);
        // Every answer taken shows the found picture again, and only those.
        const auto pictures = host.EventsOf(Event::Bitmap);
        ASSERT_EQ(static_cast<int>(pictures.size()), taken);
        EXPECT_EQ(pictures.back().id, IDC_PICTURE);
        EXPECT_EQ(pictures.back().a, IDB_PICTURE_FOUND);
    }
}

} // namespace
