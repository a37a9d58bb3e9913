// The self-update's file steps: the launcher is replaced in one step, or not at all.
#include "LaunchHarness.h"
#include "System.h"

#include <gtest/gtest.h>

using SelfUpdate = LaunchTest;

TEST_F(SelfUpdate, ReplaceLauncherInstallsTheTemporaryCopyAndStartsIt) {
    WriteFile("zynLaunch.exe", "old launcher");
    WriteFile("zynLaunchTemp.exe", "new launcher");
    dlg.ReplaceLauncher();
    EXPECT_EQ(ReadFile("zynLaunch.exe"), "new launcher");
    EXPECT_EQ(ReadFile("zynLaunchTemp.exe"), "new launcher");
    EXPECT_FALSE(Exists(sys::TemporaryFileName("zynLaunch.exe")));
    EXPECT_EQ(dlg.programs, std::vector<std::string>{"zynLaunch.exe"});
    EXPECT_EQ(dlg.started, std::vector<std::string>{"zynLaunch.exe -stage2"});
    EXPECT_EQ(dlg.directories, std::vector<std::string>{"."});
    EXPECT_TRUE(host.HasEnded());
}

TEST_F(SelfUpdate, AFailedCopyLeavesTheOldLauncherInPlace) {
    WriteFile("zynLaunch.exe", "old launcher");
    dlg.ReplaceLauncher();
    EXPECT_EQ(ReadFile("zynLaunch.exe"), "old launcher");
    EXPECT_FALSE(Exists(sys::TemporaryFileName("zynLaunch.exe")));
    EXPECT_TRUE(host.HasEnded());
}
