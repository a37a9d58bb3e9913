// The launch sequence in virtual time: stage order and delays, and every way a launch ends.
#include "LaunchHarness.h"
#include "framework/AsyncSocket.h"
#include "net/DeepResolverSocket.h"

namespace {

const char* const kAllStages = "1@1000 2@1500 100@2500 3@4500 4@4800 5@5100 6@6100 7@7100 8@7600";
const char* const kToStage3 = "1@1000 2@1500 100@2500 3@4500";
const char* const kToStage5 = "1@1000 2@1500 100@2500 3@4500 4@4800 5@5100";
const char* const kToStage6 = "1@1000 2@1500 100@2500 3@4500 4@4800 5@5100 6@6100";
const char* const kMissingState = "Zyn could not locate its system state file - please visit "
                                  "https://support.zyn.example/launcher for help.";
// No launcher file is installed in these tests, so a listed version always differs.
const char* const kListedLauncher = "ZynVersion=Launch;1.0.0.0;\r\n";
// The engine's command line with a user file of no options, and with the one a launch writes.
const std::string kBareEngine =
    "zynEngine.exe -mode engine -orbitals orb1.example:9000Oorb2.example:9000O ";
const std::string kEngine =
    kBareEngine + "-username ! -password ! -port 0 -accept LOCAL -timeout NOUI -nic 0 ";
const char* const kScanning = "scanning 2 deep resolution servers..";
const char* const kClosing = "closing zynLaunch..";
const Texts kDownloadFailed = {"The download failed", kComponentsMissing};

class LaunchSequence : public LaunchTest {
  protected:
    void SetUp() override {
        LaunchTest::SetUp();
        PrepareLocalFiles();
    }
    // Runs the launch and checks how it ended; `lastStatuses` are the last texts shown.
    void Expect(int result, const char* timers, const Texts& started, const Texts& messages,
                const Texts& lastStatuses = {}) {
        EXPECT_EQ(dlg.DoModal(), result);
        EXPECT_EQ(host.FiredTimers(), timers);
        EXPECT_EQ(dlg.started, started);
        EXPECT_EQ(Messages(), messages);
        const Texts statuses = Statuses();
        ASSERT_GE(statuses.size(), lastStatuses.size());
        EXPECT_EQ(Texts(statuses.end() - static_cast<long>(lastStatuses.size()), statuses.end()),
                  lastStatuses);
    }
    // A start that failed ends the launch through the fatal-error path: with an error status,
    // and any timer that still comes finds it abandoned.
    void ExpectStartRefused(const std::string& program, const char* timers, const Texts& started) {
        dlg.refusals[program] = "Permission denied";
        Expect(0, timers, started, {"Zyn could not start " + program + " (Permission denied)."});
        EXPECT_EQ(dlg.GetMessageBoxCount(), 1);
        EXPECT_EQ(dlg.m_bClosing, 1);
    }
};

TEST_F(LaunchSequence, AWholeLaunchRunsEveryStageInOrderAndStartsEngineThenUI) {
    Expect(0, kAllStages, {kEngine, "zynUI.exe"}, {},
           {"evaluating local ip conditions..", "downloading system state..",
            "processing system directives..", "evaluating zyn dependencies", kScanning,
            "starting zynEngine..", "starting zynUI", kClosing});
    EXPECT_EQ(Statuses().size(), 8u);
    EXPECT_EQ(Positions(), (std::vector<int>{10, 20, 40, 60, 80, 90, 100}));
    EXPECT_EQ(dlg.directories, (Texts{".", "."}));
    EXPECT_EQ(ReadFile("zynUserConfig.txt"), kDefaultUserConfig);
    EXPECT_EQ(dlg.m_pDeepResolverSocket, nullptr);
}

TEST_F(LaunchSequence, UserSettingsChooseWhatStartsWithoutChangingTheTiming) {
    WriteFile("zynUserConfig.txt", "zynLaunch=UI\r\n");
    Expect(0, kAllStages, {"zynUI.exe"}, {}, {kScanning, "starting zynUI", kClosing});
}

TEST_F(LaunchSequence, WithoutTheUIOnlyTheProgressMovesInStageSeven) {
    WriteFile("zynUserConfig.txt", "zynLaunch=ENGINE\r\n");
    Expect(0, kAllStages, {kBareEngine}, {}, {kScanning, "starting zynEngine..", kClosing});
    EXPECT_EQ(Positions().back(), 100);
}

TEST_F(LaunchSequence, TheChosenUserInterfaceEntrySuppliesProgramAndVersion) {
    PrepareLocalFiles("ZynUI=Default;UI;zynUI.exe;\r\nZynUI=Fancy;FancyUI;fancy ui.exe;\r\n"
                      "ZynVersion=FancyUI;2.5;\r\n");
    WriteFile("zynUserConfig.txt", "zynUI=Fancy\r\n");
    // Were its listed version not the entry's, the file would be fetched and nothing start.
    WriteComponent("fancy ui.exe", "2, 5");
    Expect(0, kAllStages, {kBareEngine, "fancy ui.exe"}, {});
    // The file started is the one checked, not the first word of its command line.
    EXPECT_EQ(dlg.programs.at(1), "fancy ui.exe");
}

TEST_F(LaunchSequence, AProgramThatCannotStartEndsTheLaunchWithItsName) {
    ExpectStartRefused("zynEngine.exe", kToStage6, {kEngine});
}
TEST_F(LaunchSequence, AUserInterfaceThatCannotStartEndsTheLaunchWithItsName) {
    ExpectStartRefused("zynUI.exe", "1@1000 2@1500 100@2500 3@4500 4@4800 5@5100 6@6100 7@7100",
                       {kEngine, "zynUI.exe"});
}
TEST_F(LaunchSequence, AConfigurationToolThatCannotStartEndsTheLaunchWithItsName) {
    dlg.m_bConfigMode = 1;
    ExpectStartRefused("zynConfig.exe", kToStage6, {"zynConfig.exe"});
}

TEST_F(LaunchSequence, TimersThatArriveWhileClosingDoNothingAndStayArmed) {
    // The missing state file's box stays open while another stage's timer keeps arriving.
    std::filesystem::remove("zynSystemConfig.txt");
    host.SetMessageBoxDuration(1000);
    host.OnMessageBox([&](const std::string&) {
        host.OnMessageBox(nullptr);
        host.SetTimer(3, 100);
    });
    Expect(0, "1@1000 3@1100 3@1200 3@1300 3@1400 3@1500 3@1600 3@1700 3@1800 3@1900 3@2000", {},
           {kMissingState});
    for (const auto& kill : host.EventsOf(Event::TimerKill))
        EXPECT_NE(kill.id, 3);
    EXPECT_EQ(Statuses(), Texts{"evaluating local ip conditions.."});
}

TEST_F(LaunchSequence, AMissingStateFileEndsTheLaunchInStageOne) {
    std::filesystem::remove("zynSystemConfig.txt");
    WriteFile("zynUserConfig.txt", "zynUI=Fancy\r\n");
    // Stage 1 finishes its steps after the close; the timer it arms never fires.
    Expect(0, "1@1000", {}, {kMissingState});
    EXPECT_EQ(Statuses(), Texts{"evaluating local ip conditions.."});
    EXPECT_EQ(dlg.m_strUIName, "Fancy");
    EXPECT_EQ(dlg.m_strUIExecutable, "zynUI.exe");
}

TEST_F(LaunchSequence, ARunningEngineEndsTheLaunchAfterTheStateFileMessage) {
    std::filesystem::remove("zynSystemConfig.txt");
    CAsyncSocket engine;
    ASSERT_TRUE(engine.Create(34522, SOCK_DGRAM_TYPE));
    Expect(0, "1@1000", {},
           {kMissingState, "A running zynEngine was detected on this computer already. Please "
                           "close the existing zyn engine by right clicking it on the taskbar."});
}

TEST_F(LaunchSequence, TheEngineGuardFreesItsPortBeforeTheLaunchGoesOn) {
    host.SetTimeLimit(1000);
    dlg.DoModal();
    CAsyncSocket probe;
    EXPECT_TRUE(probe.Create(34522, SOCK_DGRAM_TYPE));
    EXPECT_TRUE(Messages().empty());
}

TEST_F(LaunchSequence, StageOneModeReplacesTheLauncherAndFinishesStageThree) {
    WriteFile("zynLaunch.exe", "old");
    WriteFile("zynLaunchTemp.exe", "new");
    WriteFile("zynSystemConfig.txt.zynpart", "cut");
    dlg.m_bStage1 = 1;
    Expect(0, kToStage3, {"zynLaunch.exe -stage2"}, {}, {"processing system directives.."});
    EXPECT_EQ(ReadFile("zynLaunch.exe"), "new");
    // The run of the temporary launcher keeps it, but not what a killed run left.
    EXPECT_TRUE(Exists("zynLaunchTemp.exe"));
    EXPECT_FALSE(Exists("zynSystemConfig.txt.zynpart"));
    EXPECT_EQ(dlg.programs, Texts{"zynLaunch.exe"});
    EXPECT_EQ(dlg.m_orbitalServers.GetCount(), 2);
}

TEST_F(LaunchSequence, StageOneModeWithoutItsCopyLeavesTheOldLauncherInPlace) {
    WriteFile("zynLaunch.exe", "old launcher");
    dlg.m_bStage1 = 1;
    Expect(0, kToStage3, {"zynLaunch.exe -stage2"}, {});
    EXPECT_EQ(ReadFile("zynLaunch.exe"), "old launcher");
    EXPECT_FALSE(Exists("zynLaunch.exe.zynpart"));
}

TEST_F(LaunchSequence, StageTwoModeRemovesTheCopyThenLaunchesNormally) {
    // Even with a launcher that still differs from the listed one.
    PrepareLocalFiles(kListedLauncher);
    WriteFile("zynLaunchTemp.exe", "new");
    dlg.m_bStage2 = 1;
    Expect(0, kAllStages, {kEngine, "zynUI.exe"}, {});
    EXPECT_FALSE(Exists("zynLaunchTemp.exe"));
}

TEST_F(LaunchSequence, ANormalLaunchRemovesWhatAKilledLaunchOrSelfUpdateLeft) {
    const Texts leftovers = {"zynLaunchTemp.exe", "zynLaunch.exe.zynpart",
                             "zynSystemConfig.txt.zynpart", "zynUserConfig.txt.zynpart"};
    for (const auto& name : leftovers)
        WriteFile(name, "cut");
    Expect(0, kAllStages, {kEngine, "zynUI.exe"}, {});
    for (const auto& name : leftovers)
        EXPECT_FALSE(Exists(name)) << name;
}

TEST_F(LaunchSequence, AComponentStillShortAfterItsDownloadEndsTheLaunchOnceStageFiveIsDone) {
    WriteSized("pssdk_dll.dll", 49999);
    // No download server is listed: the file fails at once.
    Expect(0, kToStage5, {}, kDownloadFailed,
           {"downloading zynNetworkServices package..", kScanning});
    EXPECT_EQ(dlg.m_strDownloadQueue, "");
    EXPECT_EQ(dlg.m_bClosing, 0);
}

TEST_F(LaunchSequence, AnOutdatedLauncherIsFetchedFirstAndNotHandedOverWhenItDidNotArrive) {
    PrepareLocalFiles(kListedLauncher);
    std::filesystem::remove("zynEngine.exe");
    // One failure box for the two files.
    Expect(0, kToStage5, {}, kDownloadFailed,
           {"downloading zynLaunch package..", "downloading zynEngine package..", kScanning});
    EXPECT_EQ(dlg.m_bUpdateLauncher, 1);
}

TEST_F(LaunchSequence, NoOrbitalServersEndTheLaunchBeforeTheUserFileIsMade) {
    WriteFile("zynSystemConfig.txt", "ZynUpdateURL=http://update.example/;\r\n");
    Expect(0, kToStage6, {},
           {"No orbital servers are available - please close Zyn and try again later."});
    EXPECT_EQ(Positions().back(), 90);
    EXPECT_FALSE(Exists("zynUserConfig.txt"));
    EXPECT_EQ(host.EventsOf(Event::TimerSet).back().id, 6);
}

TEST_F(LaunchSequence, ConfigModeStartsOnlyTheConfigurationTool) {
    dlg.m_bConfigMode = 1;
    Expect(0, kToStage6, {"zynConfig.exe"}, {}, {"starting zynConfig.."});
    EXPECT_EQ(ReadFile("zynUserConfig.txt"), kDefaultUserConfig);
}

TEST_F(LaunchSequence, EscapeStopsTheSequenceWhereItStands) {
    host.EscapeAt(3000);
    Expect(IDCANCEL, "1@1000 2@1500 100@2500", {}, {});
}

TEST_F(LaunchSequence, StageFiveReEnteredAfterTheCloseDoesNothing) {
    std::filesystem::remove("zynSystemConfig.txt");
    dlg.DoModal(); // ends in stage 1
    const size_t before = host.Events().size();
    dlg.OnDownloadFinished(nullptr);
    EXPECT_EQ(host.Events().size(), before);
}

TEST_F(LaunchSequence, AFatalErrorSetsTheClosingFlagBeforeItsBoxAndClosesAfterIt) {
    int closingInBox = -1;
    bool endedInBox = true;
    host.OnMessageBox([&](const std::string&) {
        closingInBox = dlg.m_bClosing;
        endedInBox = host.HasEnded();
    });
    dlg.ShowFatalError("broken");
    EXPECT_EQ(closingInBox, 1);
    EXPECT_FALSE(endedInBox);
    EXPECT_TRUE(host.HasEnded());
    EXPECT_EQ(Messages(), Texts{"broken"});
    EXPECT_EQ(dlg.GetMessageBoxCount(), 1);
}

} // namespace
