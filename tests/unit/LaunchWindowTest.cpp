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
    ASSERT_EQ(host.EventsOf(Event::Icon).size(), 1u);
    EXPECT_EQ(host.EventsOf(Event::Icon)[0].a, IDR_MAINFRAME);
    EXPECT_EQ(host.EventsOf(Event::TimerSet).size(), 1u);
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
    dlg.m_pDeepResolverSocket = std::make_unique<CDeepResolverSocket>();
    dlg.CloseLauncher();
    EXPECT_EQ(dlg.m_pDeepResolverSocket, nullptr);
    dlg.CloseLauncher();
    const auto ends = host.EventsOf(Event::End);
    ASSERT_EQ(ends.size(), 2u);
    EXPECT_EQ(ends[0].a, 0);
    EXPECT_EQ(ends[1].a, 0);
}
