// What only the Linux backend does: files that are no regular files, and the execute
// permission of written and copied programs.
#include "../ScratchDir.h"
#include "System.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

class PosixSystemTest : public ScratchDirTest {
  protected:
    static mode_t ModeOf(const char* name) {
        struct stat st {};
        stat(name, &st);
        return st.st_mode & 07777;
    }
};

TEST_F(PosixSystemTest, FileTestsNeitherWaitOnAFifoNorTakeItForAFile) {
    ASSERT_EQ(mkfifo("zynEngine.exe", 0644), 0);
    std::string contents;
    uint64_t size = 0;
    EXPECT_FALSE(sys::CanOpenForReading("zynEngine.exe"));
    EXPECT_FALSE(sys::GetOpenableFileSize("zynEngine.exe", size));
    EXPECT_FALSE(sys::ReadWholeFile("zynEngine.exe", contents));
}

TEST_F(PosixSystemTest, WrittenProgramsAreExecutableAndCopiesKeepTheSourceMode) {
    ASSERT_TRUE(sys::WriteWholeFile("program", "x", sys::FileWriter::Kind::Program));
    ASSERT_TRUE(sys::WriteWholeFile("data", "x"));
    EXPECT_NE(ModeOf("program") & S_IXUSR, 0u);
    EXPECT_EQ(ModeOf("data") & 0111, 0u);

    chmod("program", 0750);
    ASSERT_TRUE(sys::CopyFile("program", "copy"));
    EXPECT_EQ(ModeOf("copy"), 0750u);
}

} // namespace
