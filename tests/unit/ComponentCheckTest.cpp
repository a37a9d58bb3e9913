// The component checks: outdated, missing or short files queued (never deleted); the last check.
#include "LaunchHarness.h"
#include "framework/System.h"

using ComponentCheck = LaunchTest;

TEST(NormaliseVersion, CommasBecomeDotsOuterWhiteSpaceAndInnerBlanksGo) {
    const std::pair<const char*, const char*> cases[] = {{"7, 0, 2, 5", "7.0.2.5"},
                                                         {" \t\v7,0 ,2\r\n\f", "7.0.2"},
                                                         {"1 .\t2", "1.\t2"},
                                                         {", 1,", ".1."},
                                                         {" ,\t", "."},
                                                         {" \r\n", ""},
                                                         {"7.0.2.5b", "7.0.2.5b"}};
    for (const auto& [text, normalised] : cases)
        EXPECT_EQ(CZynLaunchDlg::NormaliseVersion(text), normalised) << text;
}

TEST_F(ComponentCheck, OutdatedComponentsAreQueuedInPlaceAndTheLauncherAsItsCopy) {
    for (const auto& [name, version] : {std::pair{"zynEngine.exe", "7, 0, 2, 6"},
                                        {"zynConfig.exe", "7.0.2.5A"},
                                        {"zynLaunch.exe", "0.9.0.0"},
                                        {"fancy.exe", " 7, 0, 2, 5 "},
                                        {"zynUI.exe", "0.1"},
                                        {"pssdk_dll.dll", "0.1"}})
        WriteComponent(name, version);
    dlg.m_strEngineVersion = dlg.m_strUIVersion = dlg.m_strNetworkServicesVersion = "7.0.2.5";
    dlg.m_strConfigVersion = "7.0.2.5a";
    dlg.m_strLaunchVersion = "1.0.0.0";
    dlg.m_strUIExecutable = "fancy.exe";
    dlg.CheckComponentVersions();
    dlg.CheckDependencies();
    // Letter case counts; neither the default user interface, when another is chosen, nor the
    // network services library is compared. Every file stays until its replacement is whole.
    EXPECT_EQ(dlg.m_bUpdateLauncher, 1);
    EXPECT_EQ(dlg.m_strDownloadQueue, "zynLaunchTemp.exe;zynEngine.exe;zynConfig.exe;");
    for (const char* name : {"zynEngine.exe", "zynConfig.exe", "zynLaunch.exe", "fancy.exe"})
        EXPECT_TRUE(Exists(name)) << name;
}

TEST_F(ComponentCheck, AnEmptyListedVersionMatchesOnlyAFileWithoutOne) {
    for (const char* name : {"zynEngine.exe", "zynUI.exe", "pssdk_dll.dll"})
        WriteSized(name, 50000);
    WriteComponent("zynConfig.exe", "7.0.2.5");
    dlg.m_strUIVersion = "7.0.2.5";
    dlg.m_strUIExecutable = ""; // an entry without its executable: nothing to delete
    dlg.CheckComponentVersions();
    dlg.CheckDependencies();
    EXPECT_EQ(dlg.m_strDownloadQueue, "zynConfig.exe;;");
    EXPECT_EQ(dlg.m_bUpdateLauncher, 0); // no launcher file and none listed
}

TEST_F(ComponentCheck, DependenciesRemoveCaptureFilesAndQueueWhatIsMissingOrShort) {
    WriteFile("winpcap.exe", "x");
    WriteFile("packetx.dll", "x");
    WriteSized("pssdk_dll.dll", 49999);
    WriteSized("zynConfig.exe", 50000);
    WriteSized("zynUI.exe", 50000);
    // Kept bytes of earlier downloads (with their validator, one cut short): only those of a
    // file fetched now stay, and the self-update's copy is no download.
    const std::string kept = ".zynpart", validator = ".zynpart.validator";
    for (const std::string name : {"zynEngine.exe", "zynConfig.exe", "zynUI.exe", "zynLaunch.exe"})
        for (const auto& [suffix, bytes] :
             {std::pair{kept, "kept"}, {validator, "\"tag\""}, {validator + ".zynpart", "\"ta"}})
            WriteFile(name + suffix, bytes);
    dlg.m_bUpdateLauncher = 1;
    dlg.CheckDependencies();
    EXPECT_FALSE(Exists("winpcap.exe") || Exists("packetx.dll"));
    EXPECT_EQ(dlg.m_strDownloadQueue, "zynLaunchTemp.exe;pssdk_dll.dll;zynEngine.exe;");
    EXPECT_FALSE(dlg.VerifyComponents());
    EXPECT_TRUE(Exists("zynEngine.exe" + kept) && Exists("zynEngine.exe" + validator));
    for (const std::string name : {"zynConfig.exe", "zynUI.exe"})
        EXPECT_FALSE(Exists(name + kept) || Exists(name + validator) ||
                     Exists(name + validator + ".zynpart"));
    EXPECT_TRUE(Exists("zynLaunch.exe" + kept));

    // Queued names are appended without a test for ones already there; an empty user
    // interface name queues a lone ";" and never verifies.
    dlg.m_bUpdateLauncher = 0;
    dlg.m_strUIExecutable = dlg.m_strDownloadQueue = "";
    WriteSized("pssdk_dll.dll", 50000);
    WriteSized("zynEngine.exe", 50000);
    dlg.CheckDependencies();
    dlg.QueueDownload("zynConfig.exe");
    EXPECT_EQ(dlg.m_strDownloadQueue, ";zynConfig.exe;");
    EXPECT_FALSE(dlg.VerifyComponents());
    dlg.m_strUIExecutable = "zynUI.exe";
    EXPECT_TRUE(dlg.VerifyComponents());
}

TEST_F(ComponentCheck, AFileOfAnotherSizeThanTheStateAsLastReadListsIsQueued) {
    const std::string digest = ";" + std::string(64, 'a') + ";\r\n";
    for (const char* name : {"pssdk_dll.dll", "zynEngine.exe", "zynConfig.exe", "zynUI.exe"})
        WriteSized(name, 50000);
    // The state of stage 3 no longer lists the engine: its size is nobody's business then.
    for (const auto& [state, queue] :
         {std::pair{"ZynDigest=zynEngine.exe;50001" + digest + "ZynDigest=zynConfig.exe;50000" +
                        digest,
                    "zynEngine.exe;"},
          {"ZynDigest=zynConfig.exe;50001" + digest, "zynConfig.exe;"}}) {
        WriteFile("zynSystemConfig.txt", state);
        dlg.m_strDownloadQueue.clear();
        dlg.ReadSystemState();
        dlg.CheckDependencies();
        EXPECT_EQ(dlg.m_strDownloadQueue, queue);
    }
}
