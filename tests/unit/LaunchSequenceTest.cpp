// The launch sequence in virtual time: stage order and delays, the closing flag, and every way
// a launch ends.
#include "LaunchHarness.h"
#include "framework/AsyncSocket.h"

#include <gtest/gtest.h>

using LaunchSequence = LaunchTest;
using Event = FakeDialogHost::Event;
using Texts = std::vector<std::string>;

namespace {
// 100@2500: the transfer timer, armed for the retrieval from an update server whose name does
// not resolve, ticks once, finds the retrieval ended and is killed.
const char* const kAllStages = "1@1000 2@1500 100@2500 3@4500 4@4800 5@5100 6@6100 7@7100 8@7600";
const char* const kMissingState = "Zyn could not locate its system state file - please visit "
                                  "https://support.zyn.example/launcher for help.";
const char* const kEngineRunning =
    "A running zynEngine was detected on this computer already. Please close the existing zyn "
    "engine by right clicking it on the taskbar.";
// No launcher file is installed in these tests, so a listed version always differs.
const char* const kListedLauncher = "ZynVersion=Launch;1.0.0.0;\r\n";
const char* const kComponentsMissing = "Zyn failed to download one or more components - please "
                                       "restart Zyn to download these components.";
} // namespace

TEST_F(LaunchSequence, AWholeLaunchRunsEveryStageInOrderAndStartsEngineThenUI) {
    PrepareLocalFiles();
    EXPECT_EQ(dlg.DoModal(), 0);
    EXPECT_EQ(host.FiredTimers(), kAllStages);
    EXPECT_EQ(Statuses(), (Texts{"evaluating local ip conditions..", "downloading system state..",
                                 "processing system directives..", "evaluating zyn dependencies",
                                 "scanning 2 deep resolution servers..", "starting zynEngine..",
                                 "starting zynUI", "closing zynLaunch.."}));
    EXPECT_EQ(Positions(), (std::vector<int>{10, 20, 40, 60, 80, 90, 100}));
    EXPECT_EQ(dlg.started,
              (Texts{"zynEngine.exe -mode engine -orbitals orb1.example:9000Oorb2.example:9000O "
                     "-username ! -password ! -port 0 -accept LOCAL -timeout NOUI -nic 0 ",
                     "zynUI.exe"}));
    EXPECT_EQ(dlg.directories, (Texts{".", "."}));
    EXPECT_EQ(ReadFile("zynUserConfig.txt"), kDefaultUserConfig);
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(dlg.m_pDeepResolverSocket, nullptr);
}

TEST_F(LaunchSequence, UserSettingsChooseWhatStartsWithoutChangingTheTiming) {
    PrepareLocalFiles();
    WriteFile("zynUserConfig.txt", "zynLaunch=UI\r\n");
    dlg.DoModal();
    EXPECT_EQ(host.FiredTimers(), kAllStages);
    EXPECT_EQ(dlg.started, Texts{"zynUI.exe"});
    for (const auto& status : Statuses())
        EXPECT_NE(status, "starting zynEngine..");
}

TEST_F(LaunchSequence, WithoutTheUIOnlyTheProgressMovesInStageSeven) {
    PrepareLocalFiles();
    WriteFile("zynUserConfig.txt", "zynLaunch=ENGINE\r\n");
    dlg.DoModal();
    EXPECT_EQ(dlg.started.size(), 1u);
    EXPECT_EQ(Statuses().at(5), "starting zynEngine..");
    EXPECT_EQ(Statuses().at(6), "closing zynLaunch..");
    EXPECT_EQ(Positions().back(), 100);
}

TEST_F(LaunchSequence, TheChosenUserInterfaceEntrySuppliesProgramAndVersion) {
    PrepareLocalFiles();
    WriteFile("zynSystemConfig.txt", ReadFile("zynSystemConfig.txt") +
                                         "ZynUI=Default;UI;zynUI.exe;\r\n"
                                         "ZynUI=Fancy;FancyUI;fancy ui.exe;\r\n"
                                         "ZynVersion=FancyUI;2.5;\r\n");
    WriteFile("zynUserConfig.txt", "zynUI=Fancy\r\n");
    // Were its listed version not the entry's, the file would be deleted and nothing start.
    WriteComponent("fancy ui.exe", "2, 5");
    dlg.DoModal();
    ASSERT_EQ(dlg.started.size(), 2u);
    EXPECT_EQ(dlg.started[1], "fancy ui.exe");
    // The file started is the one checked, not the first word of its command line.
    EXPECT_EQ(dlg.programs[1], "fancy ui.exe");
}

TEST_F(LaunchSequence, AProgramThatCannotStartEndsTheLaunchWithItsName) {
    PrepareLocalFiles();
    struct Case {
        std::string program;
        int32_t configMode;
        const char* timers;
        Texts programs;
    };
    const char* const kToStage6 = "1@1000 2@1500 100@2500 3@4500 4@4800 5@5100 6@6100";
    for (const Case& c : {Case{"zynEngine.exe", 0, kToStage6, {"zynEngine.exe"}},
                          Case{"zynUI.exe",
                               0,
                               "1@1000 2@1500 100@2500 3@4500 4@4800 5@5100 6@6100 7@7100",
                               {"zynEngine.exe", "zynUI.exe"}},
                          Case{"zynConfig.exe", 1, kToStage6, {"zynConfig.exe"}}}) {
        SCOPED_TRACE(c.program);
        FakeDialogHost caseHost;
        DialogHost::Install(&caseHost);
        RecordingLaunchDlg caseDlg;
        caseDlg.m_bConfigMode = c.configMode;
        caseDlg.refusals[c.program] = "Permission denied";
        EXPECT_EQ(caseDlg.DoModal(), 0);
        EXPECT_EQ(caseHost.FiredTimers(), c.timers);
        EXPECT_EQ(caseDlg.programs, c.programs);
        const auto boxes = caseHost.EventsOf(Event::Message);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, "Zyn could not start " + c.program + " (Permission denied).");
        // Through the fatal-error path: the launch ends with an error status, and any timer
        // that still comes finds it abandoned.
        EXPECT_EQ(caseDlg.GetMessageBoxCount(), 1);
        EXPECT_EQ(caseDlg.m_bClosing, 1);
    }
    DialogHost::Install(&host);
}

TEST_F(LaunchSequence, TimersThatArriveWhileClosingDoNothingAndStayArmed) {
    // The missing state file's box stays open while another stage's timer keeps arriving.
    host.SetMessageBoxDuration(1000);
    host.OnMessageBox([&](const std::string&) {
        host.OnMessageBox(nullptr);
        host.SetTimer(3, 100);
    });
    EXPECT_EQ(dlg.DoModal(), 0);
    EXPECT_EQ(host.FiredTimers(),
              "1@1000 3@1100 3@1200 3@1300 3@1400 3@1500 3@1600 3@1700 3@1800 3@1900 3@2000");
    for (const auto& kill : host.EventsOf(Event::TimerKill))
        EXPECT_NE(kill.id, 3);
    EXPECT_EQ(Statuses(), Texts{"evaluating local ip conditions.."});
}

TEST_F(LaunchSequence, AnUnknownTimerIsOnlyKilled) {
    dlg.OnTimer(9);
    dlg.OnTimer(0);
    ASSERT_EQ(host.Events().size(), 2u);
    EXPECT_EQ(host.Events()[0].kind, Event::TimerKill);
    EXPECT_EQ(host.Events()[0].id, 9);
    EXPECT_EQ(host.Events()[1].id, 0);
}

TEST_F(LaunchSequence, AMissingStateFileEndsTheLaunchInStageOne) {
    WriteFile("zynUserConfig.txt", "zynUI=Fancy\r\n");
    EXPECT_EQ(dlg.DoModal(), 0);
    EXPECT_EQ(Messages(), Texts{kMissingState});
    EXPECT_EQ(host.FiredTimers(), "1@1000");
    // Stage 1 finishes its steps after the close; the timer it arms never fires.
    EXPECT_EQ(Statuses(), Texts{"evaluating local ip conditions.."});
    EXPECT_EQ(dlg.m_strUIName, "Fancy");
    EXPECT_EQ(dlg.m_strUIExecutable, "zynUI.exe");
    EXPECT_TRUE(dlg.started.empty());
}

TEST_F(LaunchSequence, ARunningEngineEndsTheLaunchAfterTheStateFileMessage) {
    CAsyncSocket engine;
    ASSERT_TRUE(engine.Create(34522, SOCK_DGRAM_TYPE));
    EXPECT_EQ(dlg.DoModal(), 0);
    EXPECT_EQ(Messages(), (Texts{kMissingState, kEngineRunning}));
    EXPECT_EQ(host.FiredTimers(), "1@1000");
}

TEST_F(LaunchSequence, TheEngineGuardFreesItsPortBeforeTheLaunchGoesOn) {
    PrepareLocalFiles();
    host.SetTimeLimit(1000);
    dlg.DoModal();
    CAsyncSocket probe;
    EXPECT_TRUE(probe.Create(34522, SOCK_DGRAM_TYPE));
    EXPECT_TRUE(Messages().empty());
}

TEST_F(LaunchSequence, StageOneModeReplacesTheLauncherAndFinishesStageThree) {
    PrepareLocalFiles();
    WriteFile("zynLaunch.exe", "old");
    WriteFile("zynLaunchTemp.exe", "new");
    WriteFile("zynSystemConfig.txt.zynpart", "cut");
    dlg.m_bStage1 = 1;
    EXPECT_EQ(dlg.DoModal(), 0);
    EXPECT_EQ(host.FiredTimers(), "1@1000 2@1500 100@2500 3@4500");
    EXPECT_EQ(ReadFile("zynLaunch.exe"), "new");
    // The run of the temporary launcher keeps it, but not what a killed run left.
    EXPECT_TRUE(Exists("zynLaunchTemp.exe"));
    EXPECT_FALSE(Exists("zynSystemConfig.txt.zynpart"));
    EXPECT_EQ(dlg.started, Texts{"zynLaunch.exe -stage2"});
    EXPECT_EQ(dlg.programs, Texts{"zynLaunch.exe"});
    EXPECT_EQ(Statuses().back(), "processing system directives..");
    EXPECT_EQ(dlg.m_orbitalServers.GetCount(), 2);
}

TEST_F(LaunchSequence, StageTwoModeRemovesTheCopyThenLaunchesNormally) {
    PrepareLocalFiles();
    // Even with a launcher that still differs from the listed one.
    WriteFile("zynSystemConfig.txt", ReadFile("zynSystemConfig.txt") + kListedLauncher);
    WriteFile("zynLaunchTemp.exe", "new");
    dlg.m_bStage2 = 1;
    EXPECT_EQ(dlg.DoModal(), 0);
    EXPECT_FALSE(Exists("zynLaunchTemp.exe"));
    EXPECT_EQ(host.FiredTimers(), kAllStages);
    EXPECT_EQ(dlg.started.size(), 2u);
}

TEST_F(LaunchSequence, ANormalLaunchRemovesWhatAKilledLaunchOrSelfUpdateLeft) {
    PrepareLocalFiles();
    const Texts leftovers = {"zynLaunchTemp.exe", "zynLaunch.exe.zynpart",
                             "zynSystemConfig.txt.zynpart", "zynUserConfig.txt.zynpart"};
    for (const auto& name : leftovers)
        WriteFile(name, "cut");
    EXPECT_EQ(dlg.DoModal(), 0);
    for (const auto& name : leftovers)
        EXPECT_FALSE(Exists(name)) << name;
    EXPECT_EQ(dlg.started.size(), 2u);
}

TEST_F(LaunchSequence, AComponentStillShortAfterItsDownloadEndsTheLaunchOnceStageFiveIsDone) {
    PrepareLocalFiles();
    WriteSized("pssdk_dll.dll", 49999);
    // No download server is listed: the file fails at once.
    EXPECT_EQ(dlg.DoModal(), 0);
    EXPECT_EQ(host.FiredTimers(), "1@1000 2@1500 100@2500 3@4500 4@4800 5@5100");
    EXPECT_EQ(dlg.m_strDownloadQueue, "");
    EXPECT_EQ(Messages(), (Texts{"The download failed", kComponentsMissing}));
    EXPECT_EQ(dlg.m_bClosing, 0);
    const Texts statuses = Statuses();
    EXPECT_EQ(Texts(statuses.end() - 2, statuses.end()),
              (Texts{"downloading zynNetworkServices package..",
                     "scanning 2 deep resolution servers.."}));
    EXPECT_TRUE(dlg.started.empty());
}

TEST_F(LaunchSequence, AnOutdatedLauncherIsFetchedFirstAndNotHandedOverWhenItDidNotArrive) {
    PrepareLocalFiles();
    WriteFile("zynSystemConfig.txt", ReadFile("zynSystemConfig.txt") + kListedLauncher);
    std::filesystem::remove("zynEngine.exe");
    EXPECT_EQ(dlg.DoModal(), 0);
    EXPECT_EQ(dlg.m_bUpdateLauncher, 1);
    const Texts statuses = Statuses();
    EXPECT_EQ(Texts(statuses.end() - 3, statuses.end()),
              (Texts{"downloading zynLaunch package..", "downloading zynEngine package..",
                     "scanning 2 deep resolution servers.."}));
    // One failure box for the two files.
    EXPECT_EQ(Messages(), (Texts{"The download failed", kComponentsMissing}));
    EXPECT_TRUE(dlg.started.empty());
}

TEST_F(LaunchSequence, NoOrbitalServersEndTheLaunchBeforeTheUserFileIsMade) {
    PrepareLocalFiles();
    WriteFile("zynSystemConfig.txt", "ZynUpdateURL=http://update.example/;\r\n");
    EXPECT_EQ(dlg.DoModal(), 0);
    EXPECT_EQ(Messages(), Texts{"No orbital servers are available - please close Zyn and try "
                                "again later."});
    EXPECT_EQ(Positions().back(), 90);
    EXPECT_FALSE(Exists("zynUserConfig.txt"));
    EXPECT_TRUE(dlg.started.empty());
    EXPECT_EQ(host.EventsOf(Event::TimerSet).back().id, 6);
}

TEST_F(LaunchSequence, ConfigModeStartsOnlyTheConfigurationTool) {
    PrepareLocalFiles();
    dlg.m_bConfigMode = 1;
    EXPECT_EQ(dlg.DoModal(), 0);
    EXPECT_EQ(host.FiredTimers(), "1@1000 2@1500 100@2500 3@4500 4@4800 5@5100 6@6100");
    EXPECT_EQ(dlg.started, Texts{"zynConfig.exe"});
    EXPECT_EQ(Statuses().back(), "starting zynConfig..");
    EXPECT_EQ(ReadFile("zynUserConfig.txt"), kDefaultUserConfig);
}

TEST_F(LaunchSequence, EscapeStopsTheSequenceWhereItStands) {
    PrepareLocalFiles();
    host.EscapeAt(3000);
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(host.FiredTimers(), "1@1000 2@1500 100@2500");
    EXPECT_TRUE(dlg.started.empty());
}

TEST_F(LaunchSequence, StageFiveReEnteredAfterTheCloseDoesNothing) {
    dlg.DoModal(); // ends in stage 1: no state file
    const size_t before = host.Events().size();
    dlg.OnDownloadFinished(nullptr);
    EXPECT_EQ(host.Events().size(), before);
}
