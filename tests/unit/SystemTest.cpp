// The system services' contract, held by every backend: files by bare name, byte for byte;
// files put in place whole or not at all; copies; process start failures; the folder lock; the
// calendar.
#include "framework/System.h"
#include "TestSupport.h"
#include "VersionFiles.h"
#include "framework/FolderLock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <memory>
#include <thread>

namespace {

class SystemTest : public ScratchDirTest {};

// Line ends, a zero byte and bytes above 127: a text-mode open would change some of them.
const std::string kAwkwardBytes = std::string("a\r\nb\nc\rd\0e\x1a\xff\x80", 13) + "\r\n";

TEST_F(SystemTest, FilesRoundTripByteForByteAndRewritingTruncates) {
    ASSERT_TRUE(sys::WriteWholeFile("round.bin", kAwkwardBytes));
    EXPECT_EQ(ReadFile("round.bin"), kAwkwardBytes);
    std::string contents = "left over";
    ASSERT_TRUE(sys::ReadWholeFile("round.bin", contents));
    EXPECT_EQ(contents, kAwkwardBytes);

    ASSERT_TRUE(sys::WriteWholeFile("round.bin", "short"));
    ASSERT_TRUE(sys::ReadWholeFile("round.bin", contents));
    EXPECT_EQ(contents, "short");

    ASSERT_TRUE(sys::WriteWholeFile("empty.txt", ""));
    ASSERT_TRUE(sys::ReadWholeFile("empty.txt", contents));
    EXPECT_EQ(contents, "");
}

TEST_F(SystemTest, MissingFilesFailEveryTestAndRead) {
    std::string contents;
    uint64_t size = 7;
    EXPECT_FALSE(sys::ReadWholeFile("missing.txt", contents));
    EXPECT_FALSE(sys::CanOpenForReading("missing.txt"));
    EXPECT_FALSE(sys::GetOpenableFileSize("missing.txt", size));
    EXPECT_FALSE(sys::DeleteFile("missing.txt"));
    EXPECT_FALSE(sys::CopyFile("missing.txt", "copy.txt"));
    EXPECT_FALSE(Exists("copy.txt"));
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
        ASSERT_TRUE(writer.Open("state.txt"));
        ASSERT_TRUE(writer.Write("new "));
        ASSERT_TRUE(writer.Write(std::string("state")));
        EXPECT_EQ(ReadFile("state.txt"), "old");
        EXPECT_TRUE(Exists(temporary));
        ASSERT_TRUE(writer.Commit());
    }
    EXPECT_EQ(ReadFile("state.txt"), "new state");
    EXPECT_FALSE(Exists(temporary));

    // Abandoned, explicitly or by going out of scope: nothing changes and nothing is left.
    {
        sys::FileWriter writer;
        ASSERT_TRUE(writer.Open("state.txt"));
        ASSERT_TRUE(writer.Write("cut short"));
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
    EXPECT_EQ(ReadFile("old.exe"), "new contents");
    EXPECT_EQ(ReadFile("new.exe"), "new contents");

    std::filesystem::create_hard_link("new.exe", "link.exe");
    for (const char* target : {"new.exe", "link.exe"}) {
        SCOPED_TRACE(target);
        EXPECT_FALSE(sys::CopyFile("new.exe", target));
        EXPECT_EQ(ReadFile(target), "new contents");
        EXPECT_FALSE(Exists(sys::TemporaryFileName(target)));
    }

    ASSERT_TRUE(sys::DeleteFile("old.exe"));
    EXPECT_FALSE(Exists("old.exe"));
}

TEST_F(SystemTest, VersionTextIsCutToTheBufferAndEndedThere) {
    WriteFile("zynEngine.exe", test::PeWithVersion("7, 0, 2, 5"));
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
        SCOPED_TRACE(program);
        std::string failure;
        EXPECT_FALSE(sys::StartProcess(program, "zynEngine.exe -mode engine", ".", failure));
        ASSERT_FALSE(failure.empty());
        EXPECT_EQ(failure.find_first_of("\r\n"), std::string::npos) << failure;
        EXPECT_NE(failure.back(), '.') << failure;
    }
}

// Each other taker runs on a thread of its own: a Windows mutex is held by its thread.
bool TakeOnAnotherThread(unsigned waitMs) {
    bool taken = false;
    std::thread([&] { taken = sys::FolderLock().Take(waitMs); }).join();
    return taken;
}

TEST_F(SystemTest, AFolderLockHasOneHolderAtATimeAndMakesNoFile) {
    auto holder = std::make_unique<sys::FolderLock>();
    ASSERT_TRUE(holder->Take(0));
    EXPECT_FALSE(TakeOnAnotherThread(0));
    EXPECT_FALSE(TakeOnAnotherThread(200));
    EXPECT_TRUE(std::filesystem::is_empty("."));
    std::filesystem::create_directory("other");
    std::filesystem::current_path("other");
    EXPECT_TRUE(TakeOnAnotherThread(0));
    std::filesystem::current_path("..");

    // One that waits gets the folder once its holder lets go.
    bool taken = false;
    std::thread waiter([&] { taken = sys::FolderLock().Take(10000); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    holder.reset();
    waiter.join();
    EXPECT_TRUE(taken);
}

TEST_F(SystemTest, LocalDateKeepsCalendarFieldsInTheirUsualRanges) {
    // 2024-02-29 12:00 UTC is the same date in every time zone within twelve hours of UTC.
    sys::LocalDate date = sys::ToLocalDate(1709208000);
    EXPECT_EQ(date.year, 2024);
    EXPECT_EQ(date.month, 2);
    EXPECT_EQ(date.day, 29);
    // The calendar clock is the system's, whatever the date.
    const int64_t before = static_cast<int64_t>(std::time(nullptr));
    const int64_t now = sys::CalendarTime();
    EXPECT_GE(now, before);
    EXPECT_LE(now, static_cast<int64_t>(std::time(nullptr)));
}

} // namespace
