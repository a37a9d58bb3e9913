// The Linux backend's own: children never reaped, files that are no files, execute permission.
#include "../TestSupport.h"
#include "framework/System.h"

#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>

namespace {

using PosixSystemTest = ScratchDirTest;

mode_t ModeOf(const std::string& name) {
    struct stat st {};
    stat(name.c_str(), &st);
    return st.st_mode & 07777;
}

TEST_F(PosixSystemTest, TheNamedFileRunsWithTheWordsInItsDirectoryAndLeavesNoChildToReap) {
    sys::WriteWholeFile("child.sh",
                        "#!/bin/sh\nprintf '%s;' \"$@\" > child.tmp\nmv child.tmp child.txt\n",
                        sys::FileWriter::Kind::Program);
    std::filesystem::create_directory("work");
    std::string failure, words;
    // The command line names a program that does not exist: only the named file can run. It
    // is named from the launcher's current directory, not from the child's.
    ASSERT_TRUE(sys::StartProcess("child.sh", "zynEngine.exe -a \"b c\"", "work", failure))
        << failure;
    PumpUntil([&] { return sys::ReadWholeFile("work/child.txt", words); }, 30000);
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
    EXPECT_FALSE(sys::CanOpenForReading("zynEngine.exe") ||
                 sys::GetOpenableFileSize("zynEngine.exe", size) ||
                 sys::ReadWholeFile("zynEngine.exe", contents));
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
    ASSERT_TRUE(writer.Resume("kept", kept, sys::FileWriter::Kind::Program) && writer.Commit());
    EXPECT_EQ(ModeOf("kept"), 0750u);
}

} // namespace
