// The system state file: lists, versions, the user interface entry lookup, and the re-read of
// stage 3.
#include "config/SystemStateFile.h"
#include "LaunchHarness.h"

#include <gtest/gtest.h>

namespace {
std::string Join(const StringList& list) {
    std::string text;
    for (int i = 0; i < list.GetCount(); ++i)
        text += "<" + list.GetAt(i) + ">";
    return text;
}

struct State {
    StringList deep, orbital, download, update;
    std::string ui, launch, config, engine, network;
    void Parse(const std::string& text, const std::string& uiComponent = "UI") {
        zyn::ParseSystemState(
            text, uiComponent,
            {deep, orbital, download, update, ui, launch, config, engine, network});
    }
};
} // namespace

TEST(SystemStateFile, ListKeysAppendInFileOrderKeepingDuplicatesAndEmptyValues) {
    State s;
    s.Parse("ZynOrbitalServer=a;\r\nZynDeepResolutionServer=d1;\r\nZynOrbitalServer=b;\r\n"
            "ZynOrbitalServer=a;\r\nZynDownloadURL=http://dl/;\r\nZynUpdateURL=\r\n"
            "ZynUpdateURL=http://up/;\r\n");
    EXPECT_EQ(Join(s.orbital), "<a><b><a>");
    EXPECT_EQ(Join(s.deep), "<d1>");
    EXPECT_EQ(Join(s.download), "<http://dl/>");
    EXPECT_EQ(Join(s.update), "<><http://up/>");

    // The value ends at its last ';'; keys match exactly; an unended last line is ignored.
    State t;
    t.Parse("ZynOrbitalServer=host1; a comment\r\nZynOrbitalServer=host1;host2;\r\n"
            "ZynOrbitalServer=no-semicolon\r\nzynorbitalserver=a;\r\nZynOrbitalServer =b;\r\n"
            "ZynUI=Default;UI;zynUI.exe;\r\nZynOrbitalServer=c;");
    EXPECT_EQ(Join(t.orbital), "<host1><host1;host2><>");
}

TEST(SystemStateFile, VersionEntriesSetEveryFieldWhoseNameMatches) {
    State s;
    s.Parse("ZynVersion=UI;1.1;\r\nZynVersion=Launch;2.0.0.1;\r\nZynVersion=Config;3;\r\n"
            "ZynVersion=NetworkServices;4;\r\nZynVersion=Engine;5;\r\nZynVersion=Engine;6;\r\n");
    EXPECT_EQ(s.ui, "1.1");
    EXPECT_EQ(s.launch, "2.0.0.1");
    EXPECT_EQ(s.config, "3");
    EXPECT_EQ(s.network, "4");
    EXPECT_EQ(s.engine, "6"); // the later entry wins

    State shared;
    shared.Parse("ZynVersion=Engine;7.0.2.5;\r\n", "Engine");
    EXPECT_EQ(shared.ui, "7.0.2.5");
    EXPECT_EQ(shared.engine, "7.0.2.5");

    // Without its inner ';' an entry's name is empty: only an empty component name matches.
    State unnamed;
    unnamed.Parse("ZynVersion=Engine7;\r\n");
    EXPECT_EQ(unnamed.engine + unnamed.ui, "");
    unnamed.Parse("ZynVersion=Engine7;\r\n", "");
    EXPECT_EQ(unnamed.ui, "Engine7");
}

TEST(SystemStateFile, UIEntryIsFoundByPrefixAndItsFieldsRunOverTheRestOfTheFile) {
    std::string component = "UI", executable = "zynUI.exe";
    const std::string text = "ZynUI=Default;UI;zynUI.exe;\r\nZynUI=Fancy2;F2;f2.exe;\r\n"
                             "ZynUI=Fancy;F;fancy.exe;\r\n";
    ASSERT_TRUE(zyn::FindUIEntry(text, "Fancy", component, executable));
    EXPECT_EQ(component, "F2");
    EXPECT_EQ(executable, "f2.exe");

    ASSERT_TRUE(zyn::FindUIEntry(text, "", component, executable));
    EXPECT_EQ(component, "UI");
    EXPECT_EQ(executable, "zynUI.exe");

    ASSERT_TRUE(
        zyn::FindUIEntry("ZynUI=X;comp\r\nZynOrbitalServer=o;\r\n", "X", component, executable));
    EXPECT_EQ(component, "comp\r\nZynOrbitalServer=o");
    EXPECT_EQ(executable, "");

    // Fields are counted from the marker, so a name holding ';' shifts them.
    ASSERT_TRUE(zyn::FindUIEntry("ZynUI=a;b;comp;exe;\r\n", "a;b", component, executable));
    EXPECT_EQ(component, "b");
    EXPECT_EQ(executable, "comp");

    ASSERT_TRUE(zyn::FindUIEntry("ZynUI=X", "X", component, executable));
    EXPECT_EQ(component, "");
    EXPECT_EQ(executable, "");

    // An absent entry changes nothing.
    component = "UI", executable = "zynUI.exe";
    EXPECT_FALSE(zyn::FindUIEntry("ZynUI=Default;A;a.exe;\r\n", "Other", component, executable));
    EXPECT_FALSE(zyn::FindUIEntry("zynUI=Other;A;a.exe;\r\n", "Other", component, executable));
    EXPECT_EQ(component + executable, "UIzynUI.exe");
}

using SystemStateRead = LaunchTest;

TEST_F(SystemStateRead, StageThreeReReadReplacesTheListsButKeepsVersions) {
    WriteFile("zynSystemConfig.txt", "ZynOrbitalServer=a;\r\nZynOrbitalServer=b;\r\n"
                                     "ZynOrbitalServer=c;\r\nZynVersion=Engine;1;\r\n");
    dlg.ReadSystemState();
    WriteFile("zynSystemConfig.txt", "ZynOrbitalServer=a;\r\nZynOrbitalServer=b;\r\n"
                                     "ZynOrbitalServer=d;\r\n");
    dlg.ClearServerLists();
    dlg.ReadSystemState();
    EXPECT_EQ(Join(dlg.m_orbitalServers), "<a><b><d>");
    EXPECT_EQ(dlg.m_strEngineVersion, "1");
    EXPECT_TRUE(Messages().empty());
}
