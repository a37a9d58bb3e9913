// The socket layer over loopback, the same cases for every backend; each wait is bounded.
#include "framework/AsyncSocket.h"
#include "SocketPeer.h"
#include "TestSupport.h"
#include "framework/App.h"
#include "framework/ConnectRace.h"
#include "framework/LoopServices.h"

#include <algorithm>

namespace {

void PumpFor(int ms) {
    PumpUntil([] { return false; }, ms);
}

// Records notifications as words ("close", "close 10054"); by default reads up to `chunk`
// bytes per OnReceive.
struct Recorder : CAsyncSocket {
    std::vector<std::string> events;
    std::string received;
    size_t chunk = 256;
    unsigned long unreadAtClose = 0;
    std::function<void(Recorder&)> onReceive, onAccept;

    int Count(const std::string& event) const {
        return static_cast<int>(std::count(events.begin(), events.end(), event));
    }
    bool Saw(const std::string& kind) const {
        return std::any_of(events.begin(), events.end(),
                           [&](const std::string& e) { return e.rfind(kind, 0) == 0; });
    }
    // Reads one chunk; the count Receive returned.
    int ReadChunk() {
        std::string buffer(chunk, '\0');
        const int n = Receive(buffer.data(), static_cast<int>(buffer.size()));
        received.append(buffer.data(), static_cast<size_t>(std::max(n, 0)));
        return n;
    }
    void Note(const char* name, int error) {
        events.push_back(error ? name + (" " + std::to_string(error)) : name);
    }
    void OnConnect(int error) override { Note("connect", error); }
    void OnSend(int error) override { Note("send", error); }
    void OnAccept(int error) override {
        Note("accept", error);
        if (onAccept)
            onAccept(*this);
    }
    void OnClose(int error) override {
        unreadAtClose = BytesAvailable();
        Note("close", error);
    }
    void OnReceive(int error) override {
        Note("receive", error);
        onReceive ? onReceive(*this) : void(ReadChunk());
    }
};

class AsyncSocketTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(AfxSocketInit()); }
};

// A connected pair: `client` connected to `server` (or to `accepted`, when set) through a
// listener on a free port.
struct Connection {
    Recorder listener, client, server;
    Recorder* accepted = &server;
    bool Open(const std::string& host = "127.0.0.1") {
        listener.onAccept = [this](Recorder& l) { l.Accept(*accepted); };
        return listener.Create(0, SOCK_STREAM_TYPE) && listener.Listen() &&
               client.Create(0, SOCK_STREAM_TYPE) &&
               client.Connect(host, listener.GetLocalPort()) && PumpUntil([this] {
                   return accepted->GetHandle() != INVALID_SOCKET_HANDLE && client.Saw("send");
               });
    }
};

TEST_F(AsyncSocketTest, StreamConnectsCarriesDataBothWaysAndEndsOnlyAfterAllItsData) {
    Connection c;
    ASSERT_TRUE(c.Open("localhost"));
    ASSERT_GE(c.client.events.size(), 2u);
    EXPECT_EQ(c.client.events[0] + " " + c.client.events[1], "connect send");
    const std::string request = "GET / HTTP/1.0\r\n\r\n", reply(3000, 'r');
    ASSERT_EQ(c.client.Send(request.data(), static_cast<int>(request.size())),
              static_cast<int>(request.size()));
    ASSERT_TRUE(PumpUntil([&] { return c.server.received == request; }));
    // A slow reader: notified again while data remains, and told of the close only after it.
    c.client.chunk = 100;
    ASSERT_EQ(c.server.Send(reply.data(), 3000), 3000);
    c.server.Close();
    ASSERT_TRUE(PumpUntil([&] { return c.client.Saw("close"); }));
    PumpFor(50);
    EXPECT_EQ(c.client.received, reply);
    EXPECT_GE(c.client.Count("receive"), 30);
    EXPECT_EQ(c.client.events.back(), "close");
    EXPECT_EQ(c.client.Count("close"), 1);
}

TEST_F(AsyncSocketTest, AResetEndsTheStreamWithItsErrorForDrainingAndNonDrainingReaders) {
    for (bool draining : {false, true}) {
        SCOPED_TRACE(draining ? "draining reader" : "one read per notification");
        Connection c;
        ASSERT_TRUE(c.Open());
        c.client.chunk = 100;
        std::vector<int> errors; // GetLastError after each failed Receive
        c.client.onReceive = [&](Recorder& s) {
            int n;
            do {
                if ((n = s.ReadChunk()) < 0)
                    errors.push_back(CAsyncSocket::GetLastError());
            } while (draining && n > 0);
        };
        const std::string data(1000, 'd');
        ASSERT_EQ(c.server.Send(data.data(), 1000), 1000);
        test::CloseWithReset(c.server);
        ASSERT_TRUE(PumpUntil([&] { return c.client.Saw("close"); }));
        PumpFor(50);
        // What the platform kept of the data came first (Windows drops it on a reset).
        EXPECT_EQ(data.compare(0, c.client.received.size(), c.client.received), 0);
        EXPECT_EQ(c.client.unreadAtClose, 0u);
        EXPECT_EQ(c.client.Count("close") + c.client.Count("close 10054"), 1);
        EXPECT_TRUE(c.client.events.back().rfind("close", 0) == 0);
        if (test::ResetsReported()) {
            EXPECT_EQ(c.client.events.back(), "close 10054");
            // Even after the reader took the reset, the stream never reads as complete.
            char byte;
            EXPECT_EQ(c.client.Receive(&byte, 1), -1);
            for (int error : errors)
                EXPECT_EQ(error, SOCK_ERR_CONNRESET);
        }
        // Sending on a reset connection fails, as a failure, and raises no signal.
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(c.client.Send("x", 1), -1);
            EXPECT_NE(CAsyncSocket::GetLastError(), SOCK_ERR_WOULDBLOCK);
        }
    }
}

TEST_F(AsyncSocketTest, ASendThatWouldBlockGetsExactlyOneOnSendAlsoAfterTheHalfClose) {
    for (bool halfClosed : {false, true}) {
        SCOPED_TRACE(halfClosed ? "peer half-closed" : "peer open");
        Connection c;
        ASSERT_TRUE(c.Open());
        if (halfClosed) {
            test::ShutdownSending(c.server);
            ASSERT_TRUE(PumpUntil([&] { return c.client.Saw("close"); }));
            EXPECT_EQ(c.client.events.back(), "close");
        }
        std::string block(65536, 'x');
        long sent = 0, drained = 0;
        for (int n; (n = c.client.Send(block.data(), static_cast<int>(block.size()))) > 0;)
            sent += n;
        EXPECT_EQ(CAsyncSocket::GetLastError(), SOCK_ERR_WOULDBLOCK);
        c.client.events.clear();
        c.server.onReceive = [&](Recorder& s) {
            for (int n; (n = s.Receive(block.data(), static_cast<int>(block.size()))) > 0;)
                drained += n;
        };
        ASSERT_TRUE(PumpUntil([&] { return drained == sent && c.client.Saw("send"); }, 10000));
        PumpFor(100);
        EXPECT_EQ(c.client.events, std::vector<std::string>{"send"});
    }
}

TEST_F(AsyncSocketTest, AConnectFailsThroughOneOnConnectAlsoForANameThatDoesNotResolve) {
    Recorder probe;
    probe.Create(0, SOCK_STREAM_TYPE);
    const struct {
        std::string host;
        unsigned port;
        std::string event; // how the one notification begins
    } cases[] = {
        // Nothing listens there; the other is refused by the local stack at once, no packet.
        {"127.0.0.1", probe.GetLocalPort(), "connect " + std::to_string(SOCK_ERR_CONNREFUSED)},
        {"255.255.255.255", 80, "connect "},
        {"no-such-host.invalid", 80, "connect " + std::to_string(SOCK_ERR_HOST_NOT_FOUND)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.host);
        Recorder client;
        ASSERT_TRUE(client.Create(0, SOCK_STREAM_TYPE));
        EXPECT_TRUE(client.Connect(c.host, c.port));
        ASSERT_TRUE(PumpUntil([&] { return client.Saw("connect"); }));
        PumpFor(50);
        ASSERT_EQ(client.events.size(), 1u);
        EXPECT_TRUE(client.events[0].rfind(c.event, 0) == 0) << client.events[0];
    }
    Recorder datagram;
    ASSERT_TRUE(datagram.Create(0, SOCK_DGRAM_TYPE));
    EXPECT_EQ(datagram.SendTo("x", 1, 80, "no-such-host.invalid"), -1);
    EXPECT_EQ(CAsyncSocket::GetLastError(), SOCK_ERR_HOST_NOT_FOUND);
}

// "localhost" is ::1 and 127.0.0.1 (scripts/netns-hosts); the order and timing of attempts:
// ConnectRaceTest.
TEST_F(AsyncSocketTest, ANameRacesItsAddressesIPv6FirstAndTheWinnerCarriesTheConnection) {
    enum Peer { Absent, Listening, Silent }; // Silent: a full backlog drops the connect's SYN
    const struct {
        const char* name;
        Peer v6, v4;
        std::string told, winner;
        bool waited; // for the attempt delay
    } cases[] = {
        {"both listen: IPv6 wins", Listening, Listening, "connect", "::1", false},
        {"IPv6 refuses: IPv4 at once", Absent, Listening, "connect", "127.0.0.1", false},
        {"IPv6 silent: IPv4 after the delay", Silent, Listening, "connect", "127.0.0.1", true},
        {"both refuse: the last refusal", Absent, Absent, "connect 10061", "", false},
    };
    for (const auto& t : cases) {
        SCOPED_TRACE(t.name);
        Recorder v4, v6, filler, accepted, client;
        ASSERT_TRUE(v4.Create(0, SOCK_STREAM_TYPE, FD_ALL_EVENTS, "127.0.0.1"));
        const unsigned port = v4.GetLocalPort();
        ASSERT_TRUE(t.v6 == Absent || (v6.Create(port, SOCK_STREAM_TYPE, FD_ALL_EVENTS, "::1") &&
                                       v6.Listen(t.v6 == Silent ? 0 : 5)));
        ASSERT_TRUE(t.v4 == Listening ? v4.Listen() : (v4.Close(), true));
        v4.onAccept = [&](Recorder& l) { l.Accept(accepted); };
        if (t.v6 != Silent)
            v6.onAccept = v4.onAccept;
        else // the one connection the backlog holds, never accepted
            ASSERT_TRUE(filler.Create(0, SOCK_STREAM_TYPE, FD_ALL_EVENTS, "::1") &&
                        filler.Connect("::1", port) &&
                        PumpUntil([&] { return filler.Saw("connect"); }));

        ASSERT_TRUE(client.Create(0, SOCK_STREAM_TYPE));
        const uint64_t started = sys::LoopNowMs();
        ASSERT_TRUE(client.Connect("localhost", port));
        ASSERT_TRUE(PumpUntil([&] { return client.Saw("connect"); }));
        EXPECT_EQ(sys::LoopNowMs() - started >= sys::ConnectRace::kAttemptDelayMs, t.waited);
        EXPECT_EQ(client.events[0], t.told);
        if (t.winner.empty())
            continue;
        ASSERT_TRUE(PumpUntil(
            [&] { return client.Saw("send") && accepted.GetHandle() != INVALID_SOCKET_HANDLE; }));
        EXPECT_TRUE((t.winner == "::1" ? v6 : v4).Saw("accept"));
        ASSERT_EQ(client.Send("hi", 2), 2);
        EXPECT_TRUE(PumpUntil([&] { return accepted.received == "hi"; }));
    }
    // A socket closed while its name is looked up hears nothing of it, nor does a socket that
    // takes its handle.
    Recorder gone, closed;
    ASSERT_TRUE(closed.Create(0, SOCK_STREAM_TYPE));
    ASSERT_TRUE(gone.Create(0, SOCK_STREAM_TYPE));
    ASSERT_TRUE(gone.Connect("localhost", closed.GetLocalPort()));
    gone.Close();
    ASSERT_TRUE(gone.Create(0, SOCK_STREAM_TYPE));
    ASSERT_TRUE(PumpUntil([] { return !CAsyncSocket::AnyLookupPending(); }));
    PumpFor(10);
    EXPECT_TRUE(gone.events.empty());
}

TEST_F(AsyncSocketTest, EveryDatagramArrivesWithItsSenderEvenAfterAnEmptyOrOversizeOne) {
    Recorder a, b;
    ASSERT_TRUE(a.Create(0, SOCK_DGRAM_TYPE) && b.Create(0, SOCK_DGRAM_TYPE));
    std::vector<int> results; // of b's ReceiveFrom: the count, or minus the error
    std::string from;
    unsigned fromPort = 0;
    b.onReceive = [&](Recorder& s) {
        char buffer[8];
        const int n = s.ReceiveFrom(buffer, sizeof buffer, from, fromPort);
        results.push_back(n < 0 ? -CAsyncSocket::GetLastError() : n);
        s.received.assign(buffer, static_cast<size_t>(std::max(n, 0)));
    };
    const std::string big(100, 'b');
    ASSERT_EQ(a.SendTo("", 0, b.GetLocalPort(), "127.0.0.1"), 0);
    a.SendTo(big.data(), static_cast<int>(big.size()), b.GetLocalPort(), "127.0.0.1");
    ASSERT_EQ(a.SendTo("one", 3, b.GetLocalPort(), "127.0.0.1"), 3);
    ASSERT_TRUE(PumpUntil([&] { return results.size() == 3; }));
    EXPECT_EQ(results, (std::vector<int>{0, -SOCK_ERR_MSGSIZE, 3}));
    EXPECT_EQ(b.received, "one"); // not the rest of the big one
    EXPECT_EQ(from + ":" + std::to_string(fromPort),
              "127.0.0.1:" + std::to_string(a.GetLocalPort()));
}

TEST_F(AsyncSocketTest, NotificationForSocketDeletedByEarlierHandlerIsDropped) {
    Recorder sender;
    auto first = std::make_unique<Recorder>(), second = std::make_unique<Recorder>();
    ASSERT_TRUE(sender.Create(0, SOCK_DGRAM_TYPE) && first->Create(0, SOCK_DGRAM_TYPE) &&
                second->Create(0, SOCK_DGRAM_TYPE));
    const SocketHandle firstHandle = first->GetHandle(), secondHandle = second->GetHandle();
    Recorder* survivor = nullptr;
    std::unique_ptr<Recorder> newcomer;
    int notified = 0;
    // Whichever is told first deletes the other and opens a new socket, which may get the
    // deleted one's handle back: it must not inherit the pending notification.
    const auto handler = [&](Recorder& self) {
        ++notified;
        survivor = &self;
        (&self == first.get() ? second : first).reset();
        newcomer = std::make_unique<Recorder>();
        newcomer->Create(0, SOCK_DGRAM_TYPE);
        char buffer[16];
        std::string address;
        unsigned port;
        self.ReceiveFrom(buffer, sizeof buffer, address, port);
    };
    first->onReceive = second->onReceive = handler;
    sender.SendTo("1", 1, first->GetLocalPort(), "127.0.0.1");
    sender.SendTo("2", 1, second->GetLocalPort(), "127.0.0.1");
    ASSERT_TRUE(PumpUntil([&] { return notified > 0; }));
    PumpFor(100);
    EXPECT_EQ(notified, 1);
    ASSERT_NE(newcomer, nullptr);
    EXPECT_FALSE(newcomer->Saw("receive"));
    const SocketHandle deleted = survivor == first.get() ? secondHandle : firstHandle;
    EXPECT_EQ(CAsyncSocket::FromHandle(deleted),
              newcomer->GetHandle() == deleted ? newcomer.get() : nullptr);
}

TEST_F(AsyncSocketTest, HandlerMayDeleteItsOwnSocket) {
    Connection c;
    auto* server = new Recorder;
    c.accepted = server;
    ASSERT_TRUE(c.Open());
    const SocketHandle handle = server->GetHandle();
    bool deleted = false;
    // Deletes itself while data and the end of the stream are both pending.
    server->onReceive = [&](Recorder& self) {
        deleted = true;
        delete &self;
    };
    c.client.Send("bye", 3);
    c.client.Close();
    ASSERT_TRUE(PumpUntil([&] { return deleted; }));
    PumpFor(100);
    EXPECT_EQ(CAsyncSocket::FromHandle(handle), nullptr);
}

} // namespace
