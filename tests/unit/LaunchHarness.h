// A launch window in a scratch folder, in virtual time, its program starts recorded.
#pragma once

#include "TestSupport.h"
#include "VersionFiles.h"
#include "framework/App.h"
#include "launch/ZynLaunchDlg.h"
#include "res/resource.h"
#include "support/FakeDialogHost.h"

#include <map>

using Texts = std::vector<std::string>;
using Event = FakeDialogHost::Event;

namespace test {

// The user configuration file a launch writes when there is none.
inline const std::string kDefaultUserConfig =
    "[ZynUserConfig]\r\nzynUsername=!\r\nzynPassword=!\r\nzynPort=0\r\nzynDeepPort=0\r\n"
    "zynAccept=LOCAL\r\nzynTimeout=NOUI\r\nzynNIC=0\r\nzynLaunch=BOTH\r\nzynHomeBrew=OFF\r\n"
    "zynWireless=\r\nzynUI=Default\r\n\r\n";
inline const char* const kComponentsMissing = "Zyn failed to download one or more components - "
                                              "please restart Zyn to download these components.";

// Everything a launch from local files needs: a state with two orbital and two deep
// resolution servers (and `moreState`), and the four components, complete.
inline void PrepareLocalFiles(const std::string& moreState = "") {
    WriteFile("zynSystemConfig.txt", "ZynUpdateURL=http://update.example/zyn/;\r\n"
                                     "ZynOrbitalServer=orb1.example:9000;\r\n"
                                     "ZynOrbitalServer=orb2.example:9000;\r\n"
                                     "ZynDeepResolutionServer=127.0.0.1;\r\n"
                                     "ZynDeepResolutionServer=deep.example;\r\n" +
                                         moreState);
    for (const char* name : {"zynEngine.exe", "zynUI.exe", "zynConfig.exe", "pssdk_dll.dll"})
        WriteSized(name, 50000);
}

// A component carrying `version` in its version resource, long enough to be complete.
inline void WriteComponent(const std::string& name, const std::string& version) {
    const std::string file = PeWithVersion(version);
    WriteFile(name, file + std::string(50000 - file.size(), '\0'));
}

} // namespace test

class RecordingLaunchDlg : public CZynLaunchDlg {
  public:
    // As a program built without keys: states are taken unsigned, unless a test sets keys.
    RecordingLaunchDlg() { m_trustedKeys = {}; }
    bool StartProcess(const std::string& program, const std::string& commandLine,
                      const std::string& directory, std::string& failure) override {
        programs.push_back(program);
        started.push_back(commandLine);
        directories.push_back(directory);
        const auto refusal = refusals.find(program);
        if (refusal != refusals.end())
            failure = refusal->second;
        return refusal == refusals.end();
    }
    Texts programs, started, directories;        // started: the command lines
    std::map<std::string, std::string> refusals; // program: the system's reason
};

class LaunchTest : public ScratchDirTest {
  public:
    void SetUp() override {
        ScratchDirTest::SetUp();
        // As the program does before its window opens; Windows has no sockets without it.
        ASSERT_TRUE(AfxSocketInit());
        DialogHost::Install(&host);
    }
    void TearDown() override {
        DialogHost::Install(nullptr);
        ScratchDirTest::TearDown();
    }
    Texts Statuses() const { return host.TextsOf(Event::Text, IDC_STATUS); }
    std::vector<int> Positions() const { return host.PositionsOf(IDC_PROGRESS); }
    Texts Messages() const { return host.TextsOf(Event::Message); }

    FakeDialogHost host;
    RecordingLaunchDlg dlg;
};
