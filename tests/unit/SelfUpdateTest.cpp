// The self-update's file steps: the launcher is replaced in one step, or not at all (the
// replacement itself is the launch sequence's test of the -stage1 run).
#include "LaunchHarness.h"
#include "framework/System.h"

#include <gtest/gtest.h>

using SelfUpdate = LaunchTest;

TEST_F(SelfUpdate, AFailedCopyLeavesTheOldLauncherInPlace) {
    WriteFile("zynLaunch.exe", "old launcher");
    dlg.ReplaceLauncher();
    EXPECT_EQ(ReadFile("zynLaunch.exe"), "old launcher");
    EXPECT_FALSE(Exists(sys::TemporaryFileName("zynLaunch.exe")));
    EXPECT_TRUE(host.HasEnded());
}
