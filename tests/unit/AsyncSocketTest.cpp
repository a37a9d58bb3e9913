// The socket layer over loopback, through nothing but CAsyncSocket and AfxPumpEvents, so the
// same cases hold for every backend. Each wait is bounded and fails instead of hanging.
#include "AsyncSocket.h"
#include "App.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace {

// About five seconds of waiting at most.
bool PumpUntil(const std::function<bool()>& done, int rounds = 500) {
    for (int i = 0; i < rounds && !done(); ++i)
        AfxPumpEvents(10);
    return done();
}

void PumpFor(int rounds) {
    for (int i = 0; i < rounds; ++i)
        AfxPumpEvents(10);
}

class Recorder : public CAsyncSocket {
  public:
    std::vector<std::string> events;
    std::string received;
    std::function<void(Recorder&)> onReceive, onAccept;

    bool Saw(const std::string& event) const {
        for (const auto& e : events)
            if (e == event)
                return true;
        return false;
    }

  protected:
    void OnConnect(int error) override { events.push_back(error ? "connect failed" : "connect"); }
    void OnSend(int) override { events.push_back("send"); }
    void OnAccept(int) override {
        events.push_back("accept");
        if (onAccept)
            onAccept(*this);
    }
    void OnClose(int error) override { events.push_back(error ? "reset" : "close"); }
    void OnReceive(int) override {
        events.push_back("receive");
        if (onReceive) {
            onReceive(*this);
            return;
        }
        char buffer[256];
        int n = Receive(buffer, sizeof buffer);
        if (n > 0)
            received.append(buffer, static_cast<size_t>(n));
    }
};

class AsyncSocketTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(AfxSocketInit()); }
};

// A connected pair: `client` connected to `server` through a listener on a free port.
struct Connection {
    Recorder listener, client, server;
    bool Open(const std::string& host = "127.0.0.1") {
        listener.onAccept = [this](Recorder& l) { l.Accept(server); };
        if (!listener.Create(0, SOCK_STREAM_TYPE) || !listener.Listen() ||
            !client.Create(0, SOCK_STREAM_TYPE) || !client.Connect(host, listener.GetLocalPort()))
            return false;
        return PumpUntil(
            [this] { return server.GetHandle() != INVALID_SOCKET_HANDLE && client.Saw("send"); });
    }
};

} // namespace

TEST_F(AsyncSocketTest, StreamConnectsThenCarriesDataBothWaysThenReportsTheClose) {
    Connection c;
    ASSERT_TRUE(c.Open("localhost"));
    // A connect is reported once, then the socket is writable once.
    ASSERT_GE(c.client.events.size(), 2u);
    EXPECT_EQ(c.client.events[0], "connect");
    EXPECT_EQ(c.client.events[1], "send");

    std::string request = "GET / HTTP/1.0\r\n\r\n";
    ASSERT_EQ(c.client.Send(request.data(), static_cast<int>(request.size())),
              static_cast<int>(request.size()));
    ASSERT_TRUE(PumpUntil([&] { return c.server.received == request; }));

    // Data sent just before the close is all offered before the close is reported.
    std::string reply(3000, 'r');
    ASSERT_EQ(c.server.Send(reply.data(), static_cast<int>(reply.size())),
              static_cast<int>(reply.size()));
    c.server.Close();
    ASSERT_TRUE(PumpUntil([&] { return c.client.Saw("close"); }));
    EXPECT_EQ(c.client.received, reply);
    EXPECT_EQ(c.client.events.back(), "close");
    PumpFor(5);
    EXPECT_EQ(std::count(c.client.events.begin(), c.client.events.end(), "close"), 1);
}

TEST_F(AsyncSocketTest, ReceiveIsRepostedWhileDataRemains) {
    Connection c;
    ASSERT_TRUE(c.Open());
    int calls = 0;
    c.server.onReceive = [&](Recorder& s) {
        ++calls;
        char byte;
        if (s.Receive(&byte, 1) == 1) // one byte per notification
            s.received += byte;
    };
    ASSERT_EQ(c.client.Send("abcd", 4), 4);
    ASSERT_TRUE(PumpUntil([&] { return c.server.received == "abcd"; }));
    EXPECT_GE(calls, 4);
    EXPECT_EQ(c.server.BytesAvailable(), 0u);
}

TEST_F(AsyncSocketTest, RefusedConnectIsReportedOnceAsAnError) {
    Recorder probe, client;
    ASSERT_TRUE(probe.Create(0, SOCK_STREAM_TYPE));
    unsigned port = probe.GetLocalPort();
    probe.Close(); // nothing listens there now
    ASSERT_TRUE(client.Create(0, SOCK_STREAM_TYPE));
    client.Connect("127.0.0.1", port);
    ASSERT_TRUE(PumpUntil([&] { return !client.events.empty(); }));
    PumpFor(5);
    EXPECT_EQ(client.events, std::vector<std::string>{"connect failed"});
}

TEST_F(AsyncSocketTest, NameThatDoesNotResolveFailsAtOnceWithoutNotification) {
    Recorder client;
    ASSERT_TRUE(client.Create(0, SOCK_STREAM_TYPE));
    EXPECT_FALSE(client.Connect("no-such-host.invalid", 80));
    EXPECT_LT(client.SendTo("x", 1, 80, "no-such-host.invalid"), 0);
    PumpFor(10);
    EXPECT_EQ(client.events, std::vector<std::string>{});
}

TEST_F(AsyncSocketTest, DatagramsGoBothWaysWithTheSenderAsDottedAddress) {
    Recorder a, b;
    ASSERT_TRUE(a.Create(0, SOCK_DGRAM_TYPE));
    ASSERT_TRUE(b.Create(0, SOCK_DGRAM_TYPE));
    std::string from;
    unsigned fromPort = 0;
    b.onReceive = [&](Recorder& s) {
        char buffer[64];
        EXPECT_GE(s.BytesAvailable(), 4u);
        int n = s.ReceiveFrom(buffer, sizeof buffer, from, fromPort);
        if (n > 0)
            s.received.append(buffer, static_cast<size_t>(n));
        s.SendTo("pong", 4, fromPort, from);
    };
    a.onReceive = [&](Recorder& s) {
        char buffer[64];
        std::string address;
        unsigned port = 0;
        int n = s.ReceiveFrom(buffer, sizeof buffer, address, port);
        if (n > 0)
            s.received.append(buffer, static_cast<size_t>(n));
        EXPECT_EQ(port, b.GetLocalPort());
    };
    ASSERT_EQ(a.SendTo("ping", 4, b.GetLocalPort(), "127.0.0.1"), 4);
    ASSERT_TRUE(PumpUntil([&] { return a.received == "pong"; }));
    EXPECT_EQ(b.received, "ping");
    EXPECT_EQ(from, "127.0.0.1");
    EXPECT_EQ(fromPort, a.GetLocalPort());
}

TEST_F(AsyncSocketTest, DatagramLargerThanTheBufferIsLostAndReportedAsError) {
    Recorder a, b;
    ASSERT_TRUE(a.Create(0, SOCK_DGRAM_TYPE));
    ASSERT_TRUE(b.Create(0, SOCK_DGRAM_TYPE));
    std::vector<int> results;
    b.onReceive = [&](Recorder& s) {
        char buffer[8];
        std::string address;
        unsigned port = 0;
        int n = s.ReceiveFrom(buffer, sizeof buffer, address, port);
        results.push_back(n);
        if (n > 0)
            s.received.assign(buffer, static_cast<size_t>(n));
    };
    std::string big(100, 'b');
    a.SendTo(big.data(), static_cast<int>(big.size()), b.GetLocalPort(), "127.0.0.1");
    a.SendTo("small", 5, b.GetLocalPort(), "127.0.0.1");
    ASSERT_TRUE(PumpUntil([&] { return results.size() >= 2; }));
    EXPECT_LT(results[0], 0);
    EXPECT_EQ(results[1], 5);
    EXPECT_EQ(b.received, "small"); // not the rest of the big one
}

TEST_F(AsyncSocketTest, PortThatIsTakenMakesCreateFail) {
    Recorder holder, second, tcpHolder, tcpSecond;
    ASSERT_TRUE(holder.Create(0, SOCK_DGRAM_TYPE));
    EXPECT_FALSE(second.Create(holder.GetLocalPort(), SOCK_DGRAM_TYPE));
    ASSERT_TRUE(tcpHolder.Create(0, SOCK_STREAM_TYPE));
    ASSERT_TRUE(tcpHolder.Listen());
    EXPECT_FALSE(tcpSecond.Create(tcpHolder.GetLocalPort(), SOCK_STREAM_TYPE));
    // Once released, the port can be had again.
    unsigned port = holder.GetLocalPort();
    holder.Close();
    EXPECT_TRUE(second.Create(port, SOCK_DGRAM_TYPE));
}

TEST_F(AsyncSocketTest, NotificationForSocketDeletedByEarlierHandlerIsDropped) {
    Recorder sender;
    ASSERT_TRUE(sender.Create(0, SOCK_DGRAM_TYPE));
    auto* first = new Recorder;
    auto* second = new Recorder;
    ASSERT_TRUE(first->Create(0, SOCK_DGRAM_TYPE));
    ASSERT_TRUE(second->Create(0, SOCK_DGRAM_TYPE));
    SocketHandle firstHandle = first->GetHandle(), secondHandle = second->GetHandle();
    Recorder* survivor = nullptr;
    Recorder* newcomer = nullptr;
    int notified = 0;
    // Whichever is told first deletes the other and opens a new socket, which may get the
    // deleted one's handle back: it must not inherit the pending notification.
    auto handler = [&](Recorder& self) {
        ++notified;
        survivor = &self;
        Recorder* other = &self == first ? second : first;
        delete other;
        (&self == first ? second : first) = nullptr;
        newcomer = new Recorder;
        newcomer->Create(0, SOCK_DGRAM_TYPE);
        char buffer[16];
        std::string address;
        unsigned port;
        self.ReceiveFrom(buffer, sizeof buffer, address, port);
    };
    first->onReceive = handler;
    second->onReceive = handler;
    sender.SendTo("1", 1, first->GetLocalPort(), "127.0.0.1");
    sender.SendTo("2", 1, second->GetLocalPort(), "127.0.0.1");
    ASSERT_TRUE(PumpUntil([&] { return notified > 0; }));
    PumpFor(10);
    EXPECT_EQ(notified, 1);
    ASSERT_NE(newcomer, nullptr);
    EXPECT_FALSE(newcomer->Saw("receive"));
    SocketHandle deleted = survivor == first ? secondHandle : firstHandle;
    if (newcomer->GetHandle() != deleted) {
        EXPECT_EQ(CAsyncSocket::FromHandle(deleted), nullptr);
    }
    delete newcomer;
    delete first;
    delete second;
}

TEST_F(AsyncSocketTest, HandlerMayDeleteItsOwnSocket) {
    Connection c;
    ASSERT_TRUE(c.Open());
    auto* server = new Recorder;
    // Move the accepted side into a heap object that deletes itself while data and the end
    // of the stream are both pending.
    c.server.Close();
    c.listener.events.clear();
    c.listener.onAccept = [&](Recorder& l) { l.Accept(*server); };
    Recorder client;
    ASSERT_TRUE(client.Create(0, SOCK_STREAM_TYPE));
    client.Connect("127.0.0.1", c.listener.GetLocalPort());
    ASSERT_TRUE(PumpUntil([&] { return server->GetHandle() != INVALID_SOCKET_HANDLE; }));
    SocketHandle handle = server->GetHandle();
    bool deleted = false;
    server->onReceive = [&](Recorder& self) {
        deleted = true;
        delete &self;
    };
    ASSERT_TRUE(PumpUntil([&] { return client.Saw("send"); }));
    client.Send("bye", 3);
    client.Close();
    ASSERT_TRUE(PumpUntil([&] { return deleted; }));
    PumpFor(10);
    EXPECT_EQ(CAsyncSocket::FromHandle(handle), nullptr);
}

TEST_F(AsyncSocketTest, SendingToAClosedPeerFailsWithoutEndingTheProgram) {
    Connection c;
    ASSERT_TRUE(c.Open());
    c.server.Close();
    ASSERT_TRUE(PumpUntil([&] { return c.client.Saw("close"); }));
    std::string data(1000, 'x');
    int result = 0;
    for (int i = 0; i < 50 && result >= 0; ++i) {
        result = c.client.Send(data.data(), static_cast<int>(data.size()));
        PumpFor(1);
    }
    EXPECT_LT(result, 0);
}
