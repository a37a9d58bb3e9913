// The user configuration file: the interface choice, and a file there but empty or unreadable.
#include "config/UserConfigFile.h"
#include "LaunchHarness.h"

using UserConfigFile = LaunchTest;

TEST_F(UserConfigFile, StageSixNeverRewritesAFileThatIsThereEvenEmptyAndOneUnreadableIsEmpty) {
    dlg.m_orbitalServers.AddTail("A");
    WriteFile("zynUserConfig.txt", "");
    dlg.PrepareEngineLaunch();
    EXPECT_EQ(ReadFile("zynUserConfig.txt"), "");
    EXPECT_EQ(dlg.m_strEngineArgs, "-mode engine -orbitals AO ");
    // A directory of that name exists but cannot be read as a file.
    std::filesystem::remove("zynUserConfig.txt");
    std::filesystem::create_directory("zynUserConfig.txt");
    EXPECT_EQ(zyn::ReadUserConfigText(), "");
}

TEST(UserConfigChoice, TheChoiceRunsFromTheFirstMarkerAnywhereToTheNextCrLfUntrimmed) {
    const std::pair<const char*, const char*> cases[] = {
        {"zynPort=0\r\nzynUI=Fancy  \r\nzynUI=Other\r\n", "Fancy  "},
        {"[x]\r\nmyzynUI=Inner\r\n", "Inner"},
        {"zynPort=0\r\nzynUI=Fancy", ""},
        {"ZynUI=Fancy\r\nzynui=Fancy\r\n", nullptr}, // no marker: the default stays
    };
    for (const auto& [text, choice] : cases) {
        std::string name = "Default";
        EXPECT_EQ(zyn::FindUIChoice(text, name), choice != nullptr) << text;
        EXPECT_EQ(name, choice ? choice : "Default") << text;
    }
}
