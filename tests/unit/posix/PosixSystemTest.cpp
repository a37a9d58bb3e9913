// What only the Linux backend does: children that are never ours to reap, files that are no
// regular files, and the execute permission of written and copied programs.
#include "../TestSupport.h"
#include "framework/System.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

namespace {

class PosixSystemTest : public ScratchDirTest {
  protected:
    static mode_t ModeOf(const char* name) {
        struct stat st {};
        stat(name, &st);
        return st.st_mode & 07777;
    }
};

TEST_F(PosixSystemTest, TheNamedFileRunsWithTheWordsInItsDirectoryAndLeavesNoChildToReap) {
    sys::WriteWholeFile("child.sh",
                        "#!/bin/sh\nprintf '%s;' \"$@\" > child.tmp\nmv child.tmp child.txt\n",
                        sys::FileWriter::Kind::Program);
    std::filesystem::create_directory("work");
    std::string failure;
    // The command line names a program that does not exist: only the named file can run. It
    // is named from the launcher's current directory, not from the child's.
    ASSERT_TRUE(sys::StartProcess("child.sh", "zynEngine.exe -a \"b c\"", "work", failure))
        << failure;
    std::string words;
    for (int i = 0; i < 600 && !sys::ReadWholeFile("work/child.txt", words); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(words, "-a;b c;");

    struct sigaction action {};
    sigaction(SIGCHLD, nullptr, &action);
    EXPECT_EQ(action.sa_flags & SA_NOCLDWAIT, 0);
    int status = 0;
    EXPECT_EQ(waitpid(-1, &status, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST_F(PosixSystemTest, FileTestsNeitherWaitOnAFifoNorTakeItForAFile) {
    ASSERT_EQ(mkfifo("zynEngine.exe", 0644), 0);
    std::string contents;
    uint64_t size = 0;
    EXPECT_FALSE(sys::CanOpenForReading("zynEngine.exe"));
    EXPECT_FALSE(sys::GetOpenableFileSize("zynEngine.exe", size));
    EXPECT_FALSE(sys::ReadWholeFile("zynEngine.exe", contents));
}

TEST_F(PosixSystemTest, WrittenAndTakenUpProgramsAreExecutableAndCopiesKeepTheSourceMode) {
    ASSERT_TRUE(sys::WriteWholeFile("program", "x", sys::FileWriter::Kind::Program));
    EXPECT_NE(ModeOf("program") & S_IXUSR, 0u);

    chmod("program", 0750);
    ASSERT_TRUE(sys::CopyFile("program", "copy"));
    EXPECT_EQ(ModeOf("copy"), 0750u);

    // Kept bytes taken up for a program: it runs for whoever may read it.
    ASSERT_TRUE(sys::WriteWholeFile(sys::TemporaryFileName("kept"), "x"));
    chmod(sys::TemporaryFileName("kept").c_str(), 0640);
    sys::FileWriter writer;
    uint64_t kept = 0;
    ASSERT_TRUE(writer.Resume("kept", kept, sys::FileWriter::Kind::Program));
    ASSERT_TRUE(writer.Commit());
    EXPECT_EQ(ModeOf("kept"), 0750u);
}

} // namespace
