// A launch window in a scratch directory, run by the fake host in virtual time, whose program
// starts are recorded instead of made.
#pragma once

#include "ScratchDir.h"
#include "VersionFiles.h"
#include "framework/App.h"
#include "launch/ZynLaunchDlg.h"
#include "res/resource.h"
#include "support/FakeDialogHost.h"

#include <map>
#include <string>
#include <vector>

// The user configuration file a launch writes when there is none.
inline const std::string kDefaultUserConfig =
    "[ZynUserConfig]\r\nzynUsername=!\r\nzynPassword=!\r\nzynPort=0\r\nzynDeepPort=0\r\n"
    "zynAccept=LOCAL\r\nzynTimeout=NOUI\r\nzynNIC=0\r\nzynLaunch=BOTH\r\nzynHomeBrew=OFF\r\n"
    "zynWireless=\r\nzynUI=Default\r\n\r\n";

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
        if (refusal == refusals.end())
            return true;
        failure = refusal->second;
        return false;
    }
    std::vector<std::string> programs;
    std::vector<std::string> started; // command lines
    std::vector<std::string> directories;
    std::map<std::string, std::string> refusals; // program: the system's reason
};

class LaunchTest : public ScratchDirTest {
  protected:
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

    // Everything a launch from local files needs: a state with two orbital and two deep
    // resolution servers, and the four components, complete.
    static void PrepareLocalFiles() {
        WriteFile("zynSystemConfig.txt", "ZynUpdateURL=http://update.example/zyn/;\r\n"
                                         "ZynOrbitalServer=orb1.example:9000;\r\n"
                                         "ZynOrbitalServer=orb2.example:9000;\r\n"
                                         "ZynDeepResolutionServer=127.0.0.1;\r\n"
                                         "ZynDeepResolutionServer=deep.example;\r\n");
        for (const char* name : {"zynEngine.exe", "zynUI.exe", "zynConfig.exe", "pssdk_dll.dll"})
            WriteSized(name, 50000);
    }

    // A component carrying `version` in its version resource, long enough to be complete.
    static void WriteComponent(const std::string& name, const std::string& version) {
        const std::string file = test::PeWithVersion(version);
        WriteFile(name, file + std::string(50000 - file.size(), '\0'));
    }

    std::vector<std::string> Statuses() const { return host.TextsOf(IDC_STATUS); }
    std::vector<int> Positions() const { return host.PositionsOf(IDC_PROGRESS); }
    std::vector<std::string> Messages() const {
        std::vector<std::string> texts;
        for (const auto& e : host.EventsOf(FakeDialogHost::Event::Message))
            texts.push_back(e.text);
        return texts;
    }

    FakeDialogHost host;
    RecordingLaunchDlg dlg;
};
