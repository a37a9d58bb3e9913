// Stage 5's downloads in virtual time against a loopback server: mirrors tried in turn, the
// stall limit, the target kept until a whole body is there, names that leave the folder.
#include "LaunchHarness.h"
#include "LoopbackHttpServer.h"
#include "System.h"
#include "net/RandomRange.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

using Texts = std::vector<std::string>;

namespace {
const char* const kComponentsMissing = "Zyn failed to download one or more components - please "
                                       "restart Zyn to download these components.";
} // namespace

class Downloads : public LaunchTest {
  protected:
    void SetUp() override {
        LaunchTest::SetUp();
        ASSERT_TRUE(server.Start());
    }
    void TearDown() override {
        sys::FixCalendarTime(std::nullopt);
        LaunchTest::TearDown();
    }

    // The local launch with `mirrors` as download servers, and the first of them chosen.
    void Prepare(const Texts& mirrors, const std::string& extraState = "") {
        PrepareLocalFiles();
        std::string state = ReadFile("zynSystemConfig.txt") + extraState;
        for (const std::string& mirror : mirrors)
            state += "ZynDownloadURL=" + mirror + ";\r\n";
        WriteFile("zynSystemConfig.txt", state);
        for (int64_t time = 0; mirrors.size() > 1; ++time) {
            sys::FixCalendarTime(time);
            if (ChooseEntryIndex(static_cast<int>(mirrors.size())) == 0)
                break;
        }
    }
    static bool AnyTemporaryFile() {
        const auto names = std::filesystem::directory_iterator(".");
        return std::any_of(begin(names), end(names), [](const auto& entry) {
            return entry.path().extension() == ".zynpart";
        });
    }

    LoopbackHttpServer server;
};

TEST_F(Downloads, AFailedMirrorGivesWayToTheNextAndIsNotAskedAgainInTheRun) {
    CAsyncSocket closed;
    ASSERT_TRUE(closed.Create(0, SOCK_STREAM_TYPE));
    const std::string dead = "http://127.0.0.1:" + std::to_string(closed.GetLocalPort()) + "/";
    closed.Close();
    Prepare({dead, server.Url("notfound"), server.Url("cut"), server.Url("redirect")});
    std::filesystem::remove("zynEngine.exe");
    std::filesystem::remove("zynConfig.exe");
    ASSERT_EQ(dlg.DoModal(), 0);
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(server.Targets(), (Texts{"GET /notfound/zynEngine.exe", "GET /cut/zynEngine.exe",
                                       "GET /redirect/zynEngine.exe", "GET /ok/zynEngine.exe",
                                       "GET /redirect/zynConfig.exe", "GET /ok/zynConfig.exe"}));
    EXPECT_EQ(ReadFile("zynEngine.exe").size(), 60000u);
    EXPECT_FALSE(AnyTemporaryFile());
    EXPECT_EQ(dlg.started.size(), 2u);
}

TEST_F(Downloads, AStalledDownloadFailsAfterThirtySecondsOnceForTheRunAndKeepsTheTarget) {
    Prepare({server.Url("stall")});
    WriteSized("pssdk_dll.dll", 49999);
    std::filesystem::remove("zynEngine.exe");
    ASSERT_EQ(dlg.DoModal(), 0);
    EXPECT_EQ(Messages(), (Texts{"The download failed", kComponentsMissing}));
    // Stage 5 started at 5100 ms and the stall began with it.
    const uint64_t failedAt = host.EventsOf(FakeDialogHost::Event::Message).at(0).time;
    EXPECT_GE(failedAt, 5100u + 30000u);
    EXPECT_LE(failedAt, 5100u + 31000u);
    // The mirror that failed is not asked for the next file.
    EXPECT_EQ(server.Targets(), Texts{"GET /stall/pssdk_dll.dll"});
    EXPECT_EQ(ReadFile("pssdk_dll.dll"), std::string(49999, 'z'));
    EXPECT_FALSE(AnyTemporaryFile());
    EXPECT_TRUE(dlg.started.empty());
}

TEST_F(Downloads, AWindowDismissedInMidDownloadLeavesNoPartialFile) {
    Prepare({server.Url("stall")});
    std::filesystem::remove("zynEngine.exe");
    host.EscapeAt(8000);
    {
        RecordingLaunchDlg window;
        EXPECT_EQ(window.DoModal(), IDCANCEL);
        EXPECT_EQ(server.requests.size(), 1u);
        EXPECT_TRUE(AnyTemporaryFile());
    }
    EXPECT_FALSE(AnyTemporaryFile());
    EXPECT_FALSE(Exists("zynEngine.exe"));
}

TEST_F(Downloads, AUserInterfaceNameThatLeavesTheFolderIsNeitherDeletedNorRequested) {
    std::filesystem::create_directory("inner");
    WriteComponent("outside.exe", "0.1");
    std::filesystem::current_path("inner");
    Prepare({server.Url("ok")}, "ZynUI=Default;UI;../outside.exe;\r\nZynVersion=UI;7.0.2.5;\r\n");
    WriteFile("zynUserConfig.txt", "zynUI=Default\r\n");
    ASSERT_EQ(dlg.DoModal(), 0);
    EXPECT_EQ(dlg.m_strUIExecutable, "../outside.exe");
    EXPECT_TRUE(Exists("../outside.exe"));
    EXPECT_TRUE(server.requests.empty());
    EXPECT_EQ(Messages(), (Texts{"The download failed", kComponentsMissing}));
    EXPECT_TRUE(dlg.started.empty());
}
