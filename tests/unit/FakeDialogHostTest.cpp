// The fake host's virtual time against real loopback sockets: time jumps to the next timer
// only once no socket is ready, as network tests in virtual time rely on.
#include "support/FakeDialogHost.h"
#include "framework/App.h"
#include "framework/AsyncSocket.h"
#include "framework/Dialog.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

class Endpoint : public CAsyncSocket {
  public:
    std::function<void(Endpoint&)> onAccept, onReceive;

  protected:
    void OnAccept(int) override { onAccept(*this); }
    void OnReceive(int) override {
        if (onReceive)
            onReceive(*this);
    }
};

// Connects to a listener of its own that answers at once; ends with 1 on the answer, with 2
// when its timer (if armed) fires first.
class AnswerDialog : public CDialog {
  public:
    explicit AnswerDialog(bool armTimer) : CDialog(0), m_armTimer(armTimer) {}

  protected:
    bool OnInitDialog() override {
        m_listener.onAccept = [this](Endpoint& l) {
            l.Accept(m_server);
            m_server.Send("hi", 2);
        };
        m_client.onReceive = [this](Endpoint&) {
            EndDialog(1);
            EndDialog(3); // a second close of the window keeps the first result
        };
        m_listener.Create(0, SOCK_STREAM_TYPE);
        m_listener.Listen();
        m_client.Create(0, SOCK_STREAM_TYPE);
        m_client.Connect("127.0.0.1", m_listener.GetLocalPort());
        if (m_armTimer)
            SetTimer(1, 5000);
        return true;
    }
    void OnTimer(unsigned) override { EndDialog(2); }

  private:
    bool m_armTimer;
    Endpoint m_listener, m_server, m_client;
};

} // namespace

TEST(FakeDialogHostTest, ALoopbackAnswerBeatsAFiveSecondTimerAndIsAwaitedWithoutOne) {
    ASSERT_TRUE(AfxSocketInit());
    for (bool armTimer : {true, false}) {
        SCOPED_TRACE(armTimer ? "timer armed" : "no timer");
        FakeDialogHost host;
        DialogHost::Install(&host);
        AnswerDialog dialog(armTimer);
        EXPECT_EQ(dialog.DoModal(), 1);
        DialogHost::Install(nullptr);
        EXPECT_EQ(host.Now(), 0u);
        EXPECT_EQ(host.FiredTimers(), "");
        EXPECT_EQ(host.EventsOf(FakeDialogHost::Event::End).size(), 2u);
    }
}
