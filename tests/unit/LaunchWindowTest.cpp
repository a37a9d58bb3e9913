// The launch window's own operations, driven through the fake host.
#include "LaunchHarness.h"
#include "net/DeepResolverSocket.h"

using LaunchWindow = LaunchTest;

TEST_F(LaunchWindow, InitialisationPreparesTheWindowAndArmsTheFirstStageAndEnterEndsNothing) {
    host.SetTimeLimit(999);
    EXPECT_EQ(dlg.DoModal(), FakeDialogHost::kTimeLimit);
    dlg.OnOK();
    EXPECT_TRUE(host.EventsOf(Event::End).empty());
    ASSERT_NE(dlg.m_pDeepResolverSocket, nullptr);
    EXPECT_EQ(dlg.m_pDeepResolverSocket->m_pOwner, &dlg);
    EXPECT_NE(dlg.m_pDeepResolverSocket->GetHandle(), INVALID_SOCKET_HANDLE);
    ASSERT_EQ(host.EventsOf(Event::Icon).size(), 1u);
    EXPECT_EQ(host.EventsOf(Event::Icon)[0].a, IDR_MAINFRAME);
    EXPECT_EQ(host.EventsOf(Event::TimerSet).size(), 1u);
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
    EXPECT_EQ(Messages(), Texts{"broken"});
    EXPECT_EQ(dlg.GetMessageBoxCount(), 1);
}

TEST_F(LaunchWindow, CloseLauncherTwiceReleasesTheSocketOnceAndEndsWithZero) {
    dlg.m_pDeepResolverSocket = std::make_unique<CDeepResolverSocket>();
    dlg.CloseLauncher();
    EXPECT_EQ(dlg.m_pDeepResolverSocket, nullptr);
    dlg.CloseLauncher();
    const auto ends = host.EventsOf(Event::End);
    ASSERT_EQ(ends.size(), 2u);
    EXPECT_EQ(std::pair(ends[0].a, ends[1].a), std::pair(0, 0));
}
