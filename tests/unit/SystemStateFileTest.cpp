// The system state file: lists, versions, the user interface entry, stage 3's re-read.
#include "config/SystemStateFile.h"
#include "LaunchHarness.h"

namespace {

std::string Join(const StringList& list) {
    std::string text;
    for (int i = 0; i < list.GetCount(); ++i)
        text += "<" + list.GetAt(i) + ">";
    return text;
}

// The lists (deep resolution, orbital, download, update servers) and the versions (user
// interface, launcher, configuration tool, engine, network services) read from `text`.
std::string Parse(const std::string& text, const std::string& uiComponent) {
    StringList deep, orbital, download, update;
    std::string v[5];
    zyn::ParseSystemState(text, uiComponent,
                          {deep, orbital, download, update, v[0], v[1], v[2], v[3], v[4]});
    return Join(deep) + "|" + Join(orbital) + "|" + Join(download) + "|" + Join(update) + "|" +
           v[0] + "," + v[1] + "," + v[2] + "," + v[3] + "," + v[4];
}

TEST(SystemStateFile, ListsAppendInFileOrderAndVersionsSetEveryFieldWhoseNameMatches) {
    const struct {
        const char* text;
        const char* uiComponent;
        const char* read;
    } cases[] = {
        // Duplicates and empty values are kept.
        {"ZynOrbitalServer=a;\r\nZynDeepResolutionServer=d1;\r\nZynOrbitalServer=b;\r\n"
         "ZynOrbitalServer=a;\r\nZynDownloadURL=http://dl/;\r\nZynUpdateURL=\r\n"
         "ZynUpdateURL=http://up/;\r\n",
         "UI", "<d1>|<a><b><a>|<http://dl/>|<><http://up/>|,,,,"},
        // The value ends at its last ';'; keys match exactly; an unended last line is ignored.
        {"ZynOrbitalServer=host1; a comment\r\nZynOrbitalServer=host1;host2;\r\n"
         "ZynOrbitalServer=no-semicolon\r\nzynorbitalserver=a;\r\nZynOrbitalServer =b;\r\n"
         "ZynUI=Default;UI;zynUI.exe;\r\nZynOrbitalServer=c;",
         "UI", "|<host1><host1;host2><>|||,,,,"},
        // The later entry wins.
        {"ZynVersion=UI;1.1;\r\nZynVersion=Launch;2.0.0.1;\r\nZynVersion=Config;3;\r\n"
         "ZynVersion=NetworkServices;4;\r\nZynVersion=Engine;5;\r\nZynVersion=Engine;6;\r\n",
         "UI", "||||1.1,2.0.0.1,3,6,4"},
        {"ZynVersion=Engine;7.0.2.5;\r\n", "Engine", "||||7.0.2.5,,,7.0.2.5,"},
        // Without its inner ';' an entry's name is empty: only an empty component name matches.
        {"ZynVersion=Engine7;\r\n", "UI", "||||,,,,"},
        {"ZynVersion=Engine7;\r\n", "", "||||Engine7,,,,"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Parse(c.text, c.uiComponent), c.read) << c.text;
}

TEST(SystemStateFile, UIEntryIsFoundByPrefixAndItsFieldsRunOverTheRestOfTheFile) {
    const char* const three = "ZynUI=Default;UI;zynUI.exe;\r\nZynUI=Fancy2;F2;f2.exe;\r\n"
                              "ZynUI=Fancy;F;fancy.exe;\r\n";
    const struct {
        const char* text;
        const char* name;
        const char* found; // component|executable; null: none (nothing is set)
    } cases[] = {
        {three, "Fancy", "F2|f2.exe"},
        {three, "", "UI|zynUI.exe"},
        {"ZynUI=X;comp\r\nZynOrbitalServer=o;\r\n", "X", "comp\r\nZynOrbitalServer=o|"},
        // Fields are counted from the marker, so a name holding ';' shifts them.
        {"ZynUI=a;b;comp;exe;\r\n", "a;b", "b|comp"},
        {"ZynUI=X", "X", "|"},
        {"ZynUI=Default;A;a.exe;\r\n", "Other", nullptr},
        {"zynUI=Other;A;a.exe;\r\n", "Other", nullptr},
    };
    for (const auto& c : cases) {
        std::string component = "stale", executable = "stale";
        EXPECT_EQ(zyn::FindUIEntry(c.text, c.name, component, executable), c.found != nullptr);
        EXPECT_EQ(component + "|" + executable, c.found ? c.found : "stale|stale") << c.text;
    }
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

} // namespace
