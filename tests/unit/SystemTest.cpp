// The system services every backend holds: files byte for byte and whole, copies, starts, locks.
#include "framework/System.h"
#include "TestSupport.h"
#include "VersionFiles.h"
#include "framework/FolderLock.h"

#include <chrono>
#include <thread>

namespace {

using SystemTest = ScratchDirTest;

// Line ends, a zero byte and bytes above 127: a text-mode open would change some of them.
const std::string kAwkwardBytes = std::string("a\r\nb\nc\rd\0e\x1a\xff\x80", 13) + "\r\n";

TEST_F(SystemTest, FilesRoundTripByteForByteAndRewritingTruncates) {
    for (const std::string& bytes : {kAwkwardBytes, std::string("short"), std::string()}) {
        std::string contents = "left over";
        ASSERT_TRUE(sys::WriteWholeFile("round.bin", bytes));
        EXPECT_EQ(ReadFile("round.bin"), bytes);
        ASSERT_TRUE(sys::ReadWholeFile("round.bin", contents));
        EXPECT_EQ(contents, bytes);
    }
}

TEST_F(SystemTest, MissingFilesFailEveryTestAndRead) {
    std::string contents;
    uint64_t size = 7;
    EXPECT_FALSE(sys::ReadWholeFile("missing.txt", contents) ||
                 sys::CanOpenForReading("missing.txt") ||
                 sys::GetOpenableFileSize("missing.txt", size) || sys::DeleteFile("missing.txt") ||
                 sys::CopyFile("missing.txt", "copy.txt") || Exists("copy.txt"));
    char version[8] = "intact";
    EXPECT_FALSE(sys::ReadFileVersion("missing.exe", version, sizeof version));
    EXPECT_STREQ(version, "intact");
}

TEST_F(SystemTest, AWriterChangesItsTargetOnlyByCommittingAllItWrote) {
    WriteFile("state.txt", "old");
    const std::string temporary = sys::TemporaryFileName("state.txt");
    WriteFile(temporary, "leftover of an earlier run, longer than what follows");
    {
        sys::FileWriter writer;
        ASSERT_TRUE(writer.Open("state.txt") && writer.Write("new ") &&
                    writer.Write(std::string("state")));
        EXPECT_EQ(ReadFile("state.txt"), "old");
        EXPECT_TRUE(Exists(temporary));
        ASSERT_TRUE(writer.Commit());
    }
    EXPECT_EQ(ReadFile("state.txt"), "new state");
    EXPECT_FALSE(Exists(temporary));
    // Abandoned by going out of scope: nothing changes and nothing is left.
    {
        sys::FileWriter writer;
        ASSERT_TRUE(writer.Open("state.txt") && writer.Write("cut short"));
    }
    EXPECT_EQ(ReadFile("state.txt"), "new state");
    EXPECT_FALSE(Exists(temporary));
    // A commit that cannot rename (a folder holds the name) fails and leaves nothing behind.
    std::filesystem::create_directory("folder");
    EXPECT_FALSE(sys::WriteWholeFile("folder", "text"));
    EXPECT_FALSE(Exists(sys::TemporaryFileName("folder")));
}

TEST_F(SystemTest, AKeptTemporaryFileIsTakenUpAtItsEndAndItsBytesReadOnce) {
    sys::FileWriter writer;
    uint64_t kept = 7;
    EXPECT_FALSE(writer.Resume("engine.exe", kept));
    ASSERT_TRUE(writer.Open("engine.exe") && writer.Write(kAwkwardBytes));
    writer.Keep();
    std::string read;
    ASSERT_TRUE(writer.Resume("engine.exe", kept, sys::FileWriter::Kind::Data,
                              [&read](std::string_view bytes) { read += bytes; }));
    EXPECT_EQ(read, kAwkwardBytes);
    EXPECT_EQ(kept, kAwkwardBytes.size());
    ASSERT_TRUE(writer.Write("rest") && writer.Commit());
    EXPECT_EQ(ReadFile("engine.exe"), kAwkwardBytes + "rest");
    EXPECT_FALSE(Exists(sys::TemporaryFileName("engine.exe")));
}

TEST_F(SystemTest, CopyReplacesAnExistingTargetButNeverTheSourceItself) {
    WriteFile("new.exe", "new contents");
    WriteFile("old.exe", "old contents that are longer");
    ASSERT_TRUE(sys::CopyFile("new.exe", "old.exe"));
    EXPECT_EQ(ReadFile("old.exe") + "|" + ReadFile("new.exe"), "new contents|new contents");
    std::filesystem::create_hard_link("new.exe", "link.exe");
    for (const char* target : {"new.exe", "link.exe"}) {
        EXPECT_FALSE(sys::CopyFile("new.exe", target)) << target;
        EXPECT_EQ(ReadFile(target), "new contents") << target;
        EXPECT_FALSE(Exists(sys::TemporaryFileName(target))) << target;
    }
    ASSERT_TRUE(sys::DeleteFile("old.exe"));
    EXPECT_FALSE(Exists("old.exe"));
}

TEST_F(SystemTest, VersionTextIsCutToTheBufferAndEndedThere) {
    WriteFile("zynEngine.exe", PeWithVersion("7, 0, 2, 5"));
    char version[16] = "xxxxxxxxxxxxxxx";
    ASSERT_TRUE(sys::ReadFileVersion("zynEngine.exe", version, sizeof version));
    EXPECT_STREQ(version, "7, 0, 2, 5");
    ASSERT_TRUE(sys::ReadFileVersion("zynEngine.exe", version, 5));
    EXPECT_STREQ(version, "7, 0");
    WriteSized("plain.exe", 60000);
    EXPECT_FALSE(sys::ReadFileVersion("plain.exe", version, sizeof version));
    EXPECT_STREQ(version, "7, 0");
}

TEST_F(SystemTest, AStartThatFailsSaysWhyOnOneLine) {
    // A file that is no program: on Linux without execute permission, on Windows no image.
    WriteFile("plain.exe", "text");
    for (const char* program : {"zynNoSuchProgram.exe", "plain.exe"}) {
        std::string failure;
        EXPECT_FALSE(sys::StartProcess(program, "zynEngine.exe -mode engine", ".", failure));
        ASSERT_FALSE(failure.empty()) << program;
        EXPECT_EQ(failure.find_first_of("\r\n"), std::string::npos) << failure;
        EXPECT_NE(failure.back(), '.') << failure;
    }
}

TEST_F(SystemTest, AFolderLockHasOneHolderAtATimeAndMakesNoFile) {
    // Each other taker runs on a thread of its own: a Windows mutex is held by its thread.
    const auto takenElsewhere = [](unsigned waitMs) {
        bool taken = false;
        std::thread([&] { taken = sys::FolderLock().Take(waitMs); }).join();
        return taken;
    };
    auto holder = std::make_unique<sys::FolderLock>();
    ASSERT_TRUE(holder->Take(0));
    EXPECT_FALSE(takenElsewhere(0) || takenElsewhere(200));
    EXPECT_TRUE(std::filesystem::is_empty("."));
    std::filesystem::create_directory("other");
    std::filesystem::current_path("other");
    EXPECT_TRUE(takenElsewhere(0));
    std::filesystem::current_path("..");
    // One that waits gets the folder once its holder lets go.
    bool taken = false;
    std::thread waiter([&] { taken = sys::FolderLock().Take(10000); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    holder.reset();
    waiter.join();
    EXPECT_TRUE(taken);
}

} // namespace
