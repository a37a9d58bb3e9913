// The launch window's own operations, driven through the fake host.
#include "LaunchHarness.h"
#include "net/DeepResolverSocket.h"

#include <gtest/gtest.h>

using LaunchWindow = LaunchTest;
using Event = FakeDialogHost::Event;

TEST_F(LaunchWindow, InitialisationPreparesTheWindowAndArmsTheFirstStage) {
    host.SetTimeLimit(999);
    EXPECT_EQ(dlg.DoModal(), FakeDialogHost::kTimeLimit);
    ASSERT_NE(dlg.m_pDeepResolverSocket, nullptr);
    EXPECT_EQ(dlg.m_pDeepResolverSocket->m_pOwner, &dlg);
    EXPECT_NE(dlg.m_pDeepResolverSocket->GetHandle(), INVALID_SOCKET_HANDLE);
    EXPECT_EQ(dlg.m_bClosing, 0);
    ASSERT_EQ(host.EventsOf(Event::Icon).size(), 1u);
    EXPECT_EQ(host.EventsOf(Event::Icon)[0].a, IDR_MAINFRAME);
    const auto timers = host.EventsOf(Event::TimerSet);
    ASSERT_EQ(timers.size(), 1u);
    EXPECT_EQ(timers[0].id, 1);
    EXPECT_EQ(timers[0].a, 1000);
    EXPECT_EQ(host.FiredTimers(), "");
}

TEST_F(LaunchWindow, EnterDoesNotEndTheWindow) {
    dlg.OnOK();
    EXPECT_FALSE(host.HasEnded());
}

TEST_F(LaunchWindow, AFatalErrorSetsTheClosingFlagBeforeItsBoxAndClosesAfterIt) {
    int closingInBox = -1;
    bool endedInBox = true;
    host.OnMessageBox([&](const std::string&) {
        closingInBox = dlg.m_bClosing;
        endedInBox = host.HasEnded();
    });
    dlg.ShowFatalError("broken");
    EXPECT_EQ(closingInBox, 1);
    EXPECT_FALSE(endedInBox);
    EXPECT_TRUE(host.HasEnded());
    EXPECT_EQ(Messages(), std::vector<std::string>{"broken"});
    EXPECT_EQ(dlg.GetMessageBoxCount(), 1);
}

TEST_F(LaunchWindow, CloseLauncherTwiceReleasesTheSocketOnceAndEndsWithZero) {
    dlg.m_pDeepResolverSocket = new CDeepResolverSocket();
    dlg.CloseLauncher();
    EXPECT_EQ(dlg.m_pDeepResolverSocket, nullptr);
    dlg.CloseLauncher();
    const auto ends = host.EventsOf(Event::End);
    ASSERT_EQ(ends.size(), 2u);
    EXPECT_EQ(ends[0].a, 0);
    EXPECT_EQ(ends[1].a, 0);
}

TEST_F(LaunchWindow, EachDeepResolverAnswerReplacesTheLast) {
    dlg.InitDialog();
    dlg.OnDeepServerFound("10.0.0.1", "1.2.3.4", 4000);
    dlg.OnDeepServerFound("10.0.0.2", "", 0);
    EXPECT_EQ(dlg.m_strDeepServer, "10.0.0.2");
    EXPECT_EQ(dlg.m_strDeepIP, "");
    EXPECT_EQ(dlg.m_nDeepPort, 0);
    const auto pictures = host.EventsOf(Event::Bitmap);
    ASSERT_EQ(pictures.size(), 2u);
    for (const auto& p : pictures) {
        EXPECT_EQ(p.id, IDC_PICTURE);
        EXPECT_EQ(p.a, IDB_PICTURE_FOUND);
    }
}
