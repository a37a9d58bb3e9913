// The user configuration file: its default text, the user interface choice, the two file tests
// and when stage 6 creates the file.
#include "config/UserConfigFile.h"
#include "LaunchHarness.h"
#include "config/FileTests.h"

#include <gtest/gtest.h>

using UserConfigFile = LaunchTest;

TEST_F(UserConfigFile, TheDefaultFileIsExactlyThe181Bytes) {
    zyn::CreateDefaultUserConfig();
    EXPECT_EQ(ReadFile("zynUserConfig.txt"),
              "[ZynUserConfig]\r\nzynUsername=!\r\nzynPassword=!\r\nzynPort=0\r\n"
              "zynDeepPort=0\r\nzynAccept=LOCAL\r\nzynTimeout=NOUI\r\nzynNIC=0\r\n"
              "zynLaunch=BOTH\r\nzynHomeBrew=OFF\r\nzynWireless=\r\nzynUI=Default\r\n\r\n");
    EXPECT_EQ(ReadFile("zynUserConfig.txt").size(), 181u);
}

TEST_F(UserConfigFile, StageSixCreatesOnlyAMissingFileAndThenReadsIt) {
    dlg.m_orbitalServers.AddTail("A");
    dlg.PrepareEngineLaunch();
    EXPECT_EQ(ReadFile("zynUserConfig.txt").size(), 181u);
    EXPECT_EQ(dlg.m_strEngineArgs, "-mode engine -orbitals AO -username ! -password ! -port 0 "
                                   "-accept LOCAL -timeout NOUI -nic 0 ");

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

using FileTests = ScratchDirTest;

TEST_F(FileTests, ACompleteFileHasAtLeast50000Bytes) {
    WriteSized("short", 49999);
    WriteSized("complete", 50000);
    EXPECT_TRUE(zyn::FileExists("short"));
    EXPECT_FALSE(zyn::IsFileComplete("short"));
    EXPECT_TRUE(zyn::IsFileComplete("complete"));
    EXPECT_FALSE(zyn::FileExists("missing"));
    EXPECT_FALSE(zyn::IsFileComplete("missing"));
}
