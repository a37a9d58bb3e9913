// Stage 5's downloads against a loopback server: mirrors in turn, the stall limit, the target
// kept until a whole body matching its digest is there, kept bytes continued, unsafe names.
#include "LaunchHarness.h"
#include "LoopbackHttpServer.h"
#include "TrustVectors.h"
#include "config/TrustEntries.h"
#include "formats/PublicKeyPem.h"
#include "framework/Crypto.h"
#include "net/RandomRange.h"

#include <algorithm>

namespace {

// What the server gives for any file it has not been given.
const auto Engine = LoopbackHttpServer::DefaultBody;

// The state's line that lists `body` as the file `name`.
std::string DigestLine(const std::string& name, const std::string& body) {
    zyn::DigestEntry entry{name, body.size(), {}};
    sys::Sha256 hash;
    hash.Update(body);
    EXPECT_TRUE(hash.Final(entry.sha256));
    return zyn::DigestLine(entry) + "\r\n";
}

bool AsksFrom(const std::string& request, const std::string& from) {
    return request.find("\r\nRange: bytes=" + from + "-\r\n") != std::string::npos;
}

bool AnyTemporaryFile() {
    const auto names = std::filesystem::directory_iterator(".");
    return std::any_of(begin(names), end(names), [](const auto& entry) {
        return entry.path().filename().string().find(".zynpart") != std::string::npos;
    });
}

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

    // The local launch with `mirrors` as download servers, the first of them chosen; with
    // `withoutEngine`, the engine to fetch.
    void Prepare(const Texts& mirrors, std::string moreState = "", bool withoutEngine = true) {
        for (const std::string& mirror : mirrors)
            moreState += "ZynDownloadURL=" + mirror + ";\r\n";
        PrepareLocalFiles(moreState);
        if (withoutEngine)
            std::filesystem::remove("zynEngine.exe");
        for (int64_t time = 0; mirrors.size() > 1; ++time) {
            sys::FixCalendarTime(time);
            if (zyn::ChooseEntryIndex(static_cast<int>(mirrors.size()), {}) == 0)
                break;
        }
    }

    LoopbackHttpServer server;
};

TEST_F(Downloads, AFailedMirrorGivesWayToTheNextAndEachFileStartsFromItsOwnPick) {
    CAsyncSocket closed;
    ASSERT_TRUE(closed.Create(0, SOCK_STREAM_TYPE));
    const std::string dead = "http://127.0.0.1:" + std::to_string(closed.GetLocalPort()) + "/";
    closed.Close();
    Prepare({dead, server.Url("notfound"), server.Url("cut"), server.Url("redirect")});
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
    ASSERT_EQ(dlg.DoModal(), 0);
    EXPECT_EQ(Messages(), (Texts{"The download failed", kComponentsMissing}));
    // Stage 5 started at 5100 ms and the stall began with it.
    const uint64_t failedAt = host.EventsOf(Event::Message).at(0).time;
    EXPECT_GE(failedAt, 5100u + 30000u);
    EXPECT_LE(failedAt, 5100u + 31000u);
    // A mirror that failed one file is still asked for the next; the failure shows once.
    EXPECT_EQ(server.Targets(), (Texts{"GET /stall/pssdk_dll.dll", "GET /stall/zynEngine.exe"}));
    EXPECT_EQ(ReadFile("pssdk_dll.dll"), std::string(49999, 'z'));
    EXPECT_EQ(ReadFile("pssdk_dll.dll.zynpart"), Engine().substr(0, 30000));
    EXPECT_TRUE(dlg.started.empty());
}

TEST_F(Downloads, AWindowDismissedInMidDownloadKeepsWhatArrivedForTheNextLaunch) {
    Prepare({server.Url("stall")});
    host.EscapeAt(8000);
    EXPECT_EQ(RecordingLaunchDlg().DoModal(), IDCANCEL);
    EXPECT_EQ(ReadFile("zynEngine.exe.zynpart"), Engine().substr(0, 30000));
    EXPECT_FALSE(Exists("zynEngine.exe"));

    // The next launch asks for the rest, and its bar goes on from the half.
    Prepare({server.Url("ok")});
    const long before = static_cast<long>(Positions().size());
    ASSERT_EQ(RecordingLaunchDlg().DoModal(), 0);
    EXPECT_TRUE(AsksFrom(server.requests.at(1), "30000"));
    EXPECT_EQ(ReadFile("zynEngine.exe"), Engine());
    EXPECT_FALSE(AnyTemporaryFile());
    const std::vector<int> bar = Positions();
    EXPECT_EQ(std::vector<int>(bar.begin() + before + 3, bar.begin() + before + 7),
              (std::vector<int>{60, 0, 50, 100}));
}

TEST_F(Downloads, KeptBytesAreContinuedOnlyAsTheSameFileElseTheWholeFileIsSent) {
    const std::string tag = LoopbackHttpServer::Tag(Engine()), other(1000, 'x');
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
        {"the kept bytes of another file", "ok", other, "", true, true, 2},
        {"the kept bytes of an older version", "ok", other, "\"old\"", false, true, 1},
        {"neither validator nor digest", "ok", other, "", false, false, 1},
        {"a validator unfit for a request", "ok", other, "\"a\r\nb\"", false, false, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        server.requests.clear();
        Prepare({server.Url(c.scenario)}, c.digest ? DigestLine("zynEngine.exe", Engine()) : "");
        WriteFile("zynEngine.exe.zynpart", c.kept);
        if (!c.validator.empty())
            WriteFile("zynEngine.exe.zynpart.validator", c.validator);
        ASSERT_EQ(RecordingLaunchDlg().DoModal(), 0);
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
    Prepare({server.Url("ok")}, "ZynUI=Default;UI;../outside.exe;\r\nZynVersion=UI;7.0.2.5;\r\n",
            false);
    WriteFile("zynUserConfig.txt", "zynUI=Default\r\n");
    ASSERT_EQ(dlg.DoModal(), 0);
    EXPECT_EQ(dlg.m_strUIExecutable, "../outside.exe");
    EXPECT_TRUE(Exists("../outside.exe"));
    EXPECT_TRUE(server.requests.empty());
    EXPECT_EQ(Messages(), (Texts{"The download failed", kComponentsMissing}));
    EXPECT_TRUE(dlg.started.empty());
}

TEST_F(Downloads, AFileThatIsNotTheComponentGivesWayToTheNextMirror) {
    const std::string engine = Engine(); // what the good mirror serves
    std::string flipped = engine, foreign = engine;
    flipped[12345] ^= 1;
    const std::string other = sys::NativeProgramFormat() == formats::ProgramFormat::Pe
                                  ? ElfFile("{}")
                                  : PeWithVersion("1.0.0.0");
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
        server.requests.clear();
        Prepare({bad.Url("ok"), server.Url("ok")},
                c.digest ? DigestLine("zynEngine.exe", engine) : "");
        ASSERT_EQ(RecordingLaunchDlg().DoModal(), 0);
        EXPECT_EQ(bad.Targets(), Texts{"GET /ok/zynEngine.exe"});
        EXPECT_EQ(server.Targets(), Texts{"GET /ok/zynEngine.exe"});
        EXPECT_EQ(ReadFile("zynEngine.exe"), engine);
        EXPECT_FALSE(AnyTemporaryFile());
    }
    EXPECT_TRUE(Messages().empty());
}

// A launch built with key A: the launcher is outdated (none is installed) and listed under the
// name it is served as; the outdated user interface has no digest.
TEST_F(Downloads, AKeyedLauncherFetchesOnlyWhatItsStateVouchesForAndNothingOnceItExpired) {
    const sys::P256PublicKey key = formats::ParseP256PublicKeys(kPublicKeyA).keys[0];
    Texts programs;
    for (const char* expiry : {"4000000000", "1000"}) {
        Prepare({server.Url("ok")},
                DigestLine("zynLaunchTemp.exe", Engine()) + "ZynVersion=Launch;1.0.0.0;\r\n" +
                    "ZynVersion=UI;9.9;\r\nZynExpires=" + expiry + ";\r\n",
                false);
        RecordingLaunchDlg window;
        window.m_trustedKeys = std::span(&key, 1);
        window.DoModal();
        programs.insert(programs.end(), window.programs.begin(), window.programs.end());
        EXPECT_EQ(ReadFile("zynUI.exe"), std::string(50000, 'z'));
    }
    EXPECT_EQ(server.Targets(), Texts{"GET /ok/zynLaunchTemp.exe"});
    EXPECT_EQ(programs, (Texts{"zynLaunchTemp.exe", "zynEngine.exe", "zynUI.exe"}));
    EXPECT_EQ(Messages(), Texts{"The download failed"});
    const Texts notes = host.TextsOf(Event::Note);
    for (const std::string note : {"zynUI.exe: the system state lists no digest for it; not "
                                   "downloaded",
                                   "the system state expired at 1000"})
        EXPECT_TRUE(std::any_of(notes.begin(), notes.end(), [&](const std::string& n) {
            return n.rfind(note, 0) == 0;
        })) << note;
}

} // namespace
