// The user configuration file: the user interface choice, and a file that is there but empty or
// unreadable.
#include "config/UserConfigFile.h"
#include "LaunchHarness.h"

#include <gtest/gtest.h>

using UserConfigFile = LaunchTest;

TEST_F(UserConfigFile, StageSixNeverRewritesAFileThatIsThereEvenEmpty) {
    dlg.m_orbitalServers.AddTail("A");
    WriteFile("zynUserConfig.txt", "");
    dlg.PrepareEngineLaunch();
    EXPECT_EQ(ReadFile("zynUserConfig.txt"), "");
    EXPECT_EQ(dlg.m_strEngineArgs, "-mode engine -orbitals AO ");
}

TEST_F(UserConfigFile, AFileThatCannotBeReadCountsAsEmpty) {
    // A directory of that name exists but cannot be read as a file.
    std::filesystem::create_directory("zynUserConfig.txt");
    EXPECT_EQ(zyn::ReadUserConfigText(), "");
}

TEST(UserConfigChoice, TheChoiceRunsFromTheFirstMarkerToTheNextCrLfUntrimmed) {
    std::string name = "Default";
    ASSERT_TRUE(zyn::FindUIChoice("zynPort=0\r\nzynUI=Fancy  \r\nzynUI=Other\r\n", name));
    EXPECT_EQ(name, "Fancy  ");
    // Found anywhere, even inside another line.
    ASSERT_TRUE(zyn::FindUIChoice("[x]\r\nmyzynUI=Inner\r\n", name));
    EXPECT_EQ(name, "Inner");
}

TEST(UserConfigChoice, AChoiceWithoutCrLfIsEmptyAndNoMarkerKeepsTheDefault) {
    std::string name = "Default";
    ASSERT_TRUE(zyn::FindUIChoice("zynPort=0\r\nzynUI=Fancy", name));
    EXPECT_EQ(name, "");
    name = "Default";
    EXPECT_FALSE(zyn::FindUIChoice("ZynUI=Fancy\r\nzynui=Fancy\r\n", name));
    EXPECT_EQ(name, "Default");
}
