// Stage 5's downloads in virtual time against a loopback server: mirrors tried in turn, the
// stall limit, the target kept until a whole body that matches its digest is there, names that
// leave the folder, the bytes of a transfer cut short continued by the next attempt.
#include "LaunchHarness.h"
#include "LoopbackHttpServer.h"
#include "TrustVectors.h"
#include "config/TrustEntries.h"
#include "formats/PublicKeyPem.h"
#include "framework/System.h"
#include "net/RandomRange.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

using Texts = std::vector<std::string>;

namespace {
const char* const kComponentsMissing = "Zyn failed to download one or more components - please "
                                       "restart Zyn to download these components.";

// A program of 60000 bytes in which a piece put at the wrong place shows.
std::string Engine() {
    std::string engine = test::NativeProgramHead();
    for (size_t i = engine.size(); i < 60000; ++i)
        engine += static_cast<char>('a' + i % 23);
    return engine;
}

const sys::P256PublicKey kKeyA = formats::ParseP256PublicKeys(kPublicKeyA).keys[0];

bool AsksFrom(const std::string& request, const std::string& from) {
    return request.find("\r\nRange: bytes=" + from + "-\r\n") != std::string::npos;
}
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
            if (zyn::ChooseEntryIndex(static_cast<int>(mirrors.size()), {}) == 0)
                break;
        }
    }
    static bool AnyTemporaryFile() {
        const auto names = std::filesystem::directory_iterator(".");
        return std::any_of(begin(names), end(names), [](const auto& entry) {
            return entry.path().filename().string().find(".zynpart") != std::string::npos;
        });
    }

    LoopbackHttpServer server;
};

TEST_F(Downloads, AFailedMirrorGivesWayToTheNextAndEachFileStartsFromItsOwnPick) {
    CAsyncSocket closed;
    ASSERT_TRUE(closed.Create(0, SOCK_STREAM_TYPE));
    const std::string dead = "http://127.0.0.1:" + std::to_string(closed.GetLocalPort()) + "/";
    closed.Close();
    Prepare({dead, server.Url("notfound"), server.Url("cut"), server.Url("redirect")});
    server.files["zynEngine.exe"] = Engine();
    std::filesystem::remove("zynEngine.exe");
    std::filesystem::remove("zynConfig.exe");
    ASSERT_EQ(dlg.DoModal(), 0);
    EXPECT_TRUE(Messages().empty());
    // Both picks fall on the dead mirror (one second, one list): each file fails over alone.
    EXPECT_EQ(server.Targets(), (Texts{"GET /notfound/zynEngine.exe", "GET /cut/zynEngine.exe",
                                       "GET /redirect/zynEngine.exe", "GET /ok/zynEngine.exe",
                                       "GET /notfound/zynConfig.exe", "GET /cut/zynConfig.exe",
                                       "GET /redirect/zynConfig.exe", "GET /ok/zynConfig.exe"}));
    // The half that the cut mirror sent is kept; the next is asked for the rest only, through
    // its redirection too.
    EXPECT_TRUE(AsksFrom(server.requests[2], "30000") && AsksFrom(server.requests[3], "30000"));
    EXPECT_EQ(ReadFile("zynEngine.exe"), Engine());
    EXPECT_FALSE(AnyTemporaryFile());
    EXPECT_EQ(dlg.started.size(), 2u);
}

TEST_F(Downloads, AStalledDownloadFailsAfterThirtySecondsOnceAndKeepsTheTargetAndWhatArrived) {
    Prepare({server.Url("stall")});
    WriteSized("pssdk_dll.dll", 49999);
    std::filesystem::remove("zynEngine.exe");
    ASSERT_EQ(dlg.DoModal(), 0);
    EXPECT_EQ(Messages(), (Texts{"The download failed", kComponentsMissing}));
    // Stage 5 started at 5100 ms and the stall began with it.
    const uint64_t failedAt = host.EventsOf(FakeDialogHost::Event::Message).at(0).time;
    EXPECT_GE(failedAt, 5100u + 30000u);
    EXPECT_LE(failedAt, 5100u + 31000u);
    // A mirror that failed one file is still asked for the next; the failure shows once.
    EXPECT_EQ(server.Targets(), (Texts{"GET /stall/pssdk_dll.dll", "GET /stall/zynEngine.exe"}));
    EXPECT_EQ(ReadFile("pssdk_dll.dll"), std::string(49999, 'z'));
    EXPECT_EQ(ReadFile("pssdk_dll.dll.zynpart"), server.DefaultBody().substr(0, 30000));
    EXPECT_TRUE(dlg.started.empty());
}

TEST_F(Downloads, AWindowDismissedInMidDownloadKeepsWhatArrivedForTheNextLaunch) {
    Prepare({server.Url("stall")});
    server.files["zynEngine.exe"] = Engine();
    std::filesystem::remove("zynEngine.exe");
    host.EscapeAt(8000);
    {
        RecordingLaunchDlg window;
        EXPECT_EQ(window.DoModal(), IDCANCEL);
    }
    EXPECT_EQ(ReadFile("zynEngine.exe.zynpart"), Engine().substr(0, 30000));
    EXPECT_FALSE(Exists("zynEngine.exe"));

    // The next launch asks for the rest, and its bar goes on from the half.
    Prepare({server.Url("ok")});
    std::filesystem::remove("zynEngine.exe");
    const size_t before = Positions().size();
    RecordingLaunchDlg window;
    ASSERT_EQ(window.DoModal(), 0);
    EXPECT_TRUE(AsksFrom(server.requests.at(1), "30000"));
    EXPECT_EQ(ReadFile("zynEngine.exe"), Engine());
    EXPECT_FALSE(AnyTemporaryFile());
    const std::vector<int> bar = Positions();
    EXPECT_EQ(std::vector<int>(bar.begin() + static_cast<long>(before) + 3,
                               bar.begin() + static_cast<long>(before) + 7),
              (std::vector<int>{60, 0, 50, 100}));
}

TEST_F(Downloads, KeptBytesAreContinuedOnlyAsTheSameFileElseTheWholeFileIsSent) {
    zyn::DigestEntry listed{"zynEngine.exe", Engine().size(), {}};
    sys::Sha256 hash;
    hash.Update(Engine());
    ASSERT_TRUE(hash.Final(listed.sha256));
    const std::string tag = LoopbackHttpServer::Tag(Engine());
    const struct {
        const char* name;
        const char* scenario;
        std::string kept;
        std::string validator; // kept beside the bytes
        bool digest;
        bool continued; // the first request asks for the rest, a second for the whole file
        size_t requests;
    } cases[] = {
        {"as long as the file: nothing left to send", "ok", Engine(), tag, false, true, 2},
        {"a part that does not begin where the kept bytes end", "badrange", "abc", tag, false, true,
         2},
        {"the kept bytes of another file", "ok", std::string(1000, 'x'), "", true, true, 2},
        {"the kept bytes of an older version", "ok", std::string(1000, 'x'), "\"old\"", false, true,
         1},
        {"neither validator nor digest", "ok", std::string(1000, 'x'), "", false, false, 1},
        {"a validator unfit for a request", "ok", std::string(1000, 'x'), "\"a\r\nb\"", false,
         false, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        server.requests.clear();
        Prepare({server.Url(c.scenario)}, c.digest ? zyn::DigestLine(listed) + "\r\n" : "");
        server.files["zynEngine.exe"] = Engine();
        std::filesystem::remove("zynEngine.exe");
        WriteFile("zynEngine.exe.zynpart", c.kept);
        if (!c.validator.empty())
            WriteFile("zynEngine.exe.zynpart.validator", c.validator);
        RecordingLaunchDlg window;
        ASSERT_EQ(window.DoModal(), 0);
        ASSERT_EQ(server.requests.size(), c.requests);
        EXPECT_EQ(AsksFrom(server.requests[0], std::to_string(c.kept.size())), c.continued);
        const bool named =
            server.requests[0].find("\r\nIf-Range: " + c.validator + "\r\n") != std::string::npos;
        EXPECT_EQ(named, c.continued && !c.validator.empty());
        EXPECT_EQ(server.requests.back().find("Range") == std::string::npos,
                  !c.continued || c.requests == 2);
        EXPECT_EQ(ReadFile("zynEngine.exe"), Engine());
        EXPECT_FALSE(AnyTemporaryFile());
    }
    EXPECT_TRUE(Messages().empty());
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

TEST_F(Downloads, ANameWithABlankHashOrPercentIsAskedForEncodedAndWrittenAsNamed) {
    Prepare({server.Url("ok")}, "ZynUI=Default;UI;Zyn UI#100%.exe;\r\n");
    WriteFile("zynUserConfig.txt", "zynUI=Default\r\n");
    dlg.DoModal();
    EXPECT_EQ(server.Targets(), Texts{"GET /ok/Zyn%20UI%23100%25.exe"});
    EXPECT_TRUE(ReadFile("Zyn UI#100%.exe") == LoopbackHttpServer::DefaultBody());
}

TEST_F(Downloads, AFileThatIsNotTheComponentGivesWayToTheNextMirror) {
    const std::string engine = Engine(); // what the good mirror serves
    zyn::DigestEntry listed{"zynEngine.exe", engine.size(), {}};
    sys::Sha256 hash;
    hash.Update(engine);
    ASSERT_TRUE(hash.Final(listed.sha256));
    std::string flipped = engine, foreign = engine;
    flipped[12345] ^= 1;
    const std::string other = sys::NativeProgramFormat() == formats::ProgramFormat::Pe
                                  ? test::ElfFile("{}")
                                  : test::PeWithVersion("1.0.0.0");
    foreign.replace(0, other.size(), other);
    const struct {
        const char* name;
        std::string served;
        bool digest;
    } cases[] = {
        {"one byte altered", flipped, true},
        {"the right bytes and one more", engine + "p", true},
        {"a program for another system", foreign, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackHttpServer bad;
        ASSERT_TRUE(bad.Start());
        bad.files["zynEngine.exe"] = c.served;
        server.files["zynEngine.exe"] = engine;
        server.requests.clear();
        Prepare({bad.Url("ok"), server.Url("ok")},
                c.digest ? zyn::DigestLine(listed) + "\r\n" : "");
        std::filesystem::remove("zynEngine.exe");
        RecordingLaunchDlg window;
        ASSERT_EQ(window.DoModal(), 0);
        EXPECT_EQ(bad.Targets(), Texts{"GET /ok/zynEngine.exe"});
        EXPECT_EQ(server.Targets(), Texts{"GET /ok/zynEngine.exe"});
        EXPECT_EQ(ReadFile("zynEngine.exe"), engine);
        EXPECT_FALSE(AnyTemporaryFile());
    }
    EXPECT_TRUE(Messages().empty());
}

TEST_F(Downloads, AKeyedLauncherFetchesOnlyWhatItsStateVouchesForAndNothingOnceItExpired) {
    zyn::DigestEntry launcher{"zynLaunchTemp.exe", Engine().size(), {}};
    sys::Sha256 hash;
    hash.Update(Engine());
    ASSERT_TRUE(hash.Final(launcher.sha256));
    server.files["zynLaunchTemp.exe"] = Engine();
    // The launcher is outdated (none is installed) and listed under the name it is served as;
    // the outdated user interface has no digest.
    const std::string state =
        zyn::DigestLine(launcher) + "\r\nZynVersion=Launch;1.0.0.0;\r\nZynVersion=UI;9.9;\r\n";
    const struct {
        const char* expiry;
        Texts requested, programs, messages;
        const char* note;
    } cases[] = {
        {"4000000000",
         {"GET /ok/zynLaunchTemp.exe"},
         {"zynLaunchTemp.exe"},
         {"The download failed"},
         "zynUI.exe: the system state lists no digest for it; not downloaded"},
        {"1000", {}, {"zynEngine.exe", "zynUI.exe"}, {}, "the system state expired at 1000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expiry);
        server.requests.clear();
        Prepare({server.Url("ok")}, state + "ZynExpires=" + c.expiry + ";\r\n");
        FakeDialogHost run;
        DialogHost::Install(&run);
        RecordingLaunchDlg window;
        window.m_trustedKeys = std::span(&kKeyA, 1);
        window.DoModal();
        DialogHost::Install(&host);
        EXPECT_EQ(server.Targets(), c.requested);
        EXPECT_EQ(window.programs, c.programs);
        Texts messages, notes;
        for (const auto& e : run.EventsOf(FakeDialogHost::Event::Message))
            messages.push_back(e.text);
        for (const auto& e : run.EventsOf(FakeDialogHost::Event::Note))
            notes.push_back(e.text);
        EXPECT_EQ(messages, c.messages);
        EXPECT_EQ(notes.at(0).rfind(c.note, 0), 0u) << notes.at(0);
        EXPECT_EQ(ReadFile("zynUI.exe"), std::string(50000, 'z'));
    }
}
