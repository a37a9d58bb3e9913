// What only the Windows backend does: file sharing, the proxy setting in the registry, process
// start of a named file with a command line and a current directory.
#include "../TestSupport.h"
#include "framework/System.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

class Win32SystemTest : public ScratchDirTest {};

HANDLE Open(const char* name, DWORD access, DWORD share) {
    return CreateFileA(name, access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

TEST_F(Win32SystemTest, ReadsShareTheFileWithReadersButNotWithAWriter) {
    WriteSized("zynUI.exe", 50000);
    // A running program holds its own file open for reading, a scanner a file just written.
    HANDLE reader = Open("zynUI.exe", GENERIC_READ, FILE_SHARE_READ);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    std::string contents;
    uint64_t size = 0;
    EXPECT_TRUE(sys::ReadWholeFile("zynUI.exe", contents));
    EXPECT_EQ(contents.size(), 50000u);
    EXPECT_TRUE(sys::CanOpenForReading("zynUI.exe"));
    EXPECT_TRUE(sys::GetOpenableFileSize("zynUI.exe", size));
    EXPECT_EQ(size, 50000u);
    CloseHandle(reader);

    // A file still being written is neither present nor readable.
    HANDLE writer = Open("zynUI.exe", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(sys::ReadWholeFile("zynUI.exe", contents));
    EXPECT_FALSE(sys::CanOpenForReading("zynUI.exe"));
    EXPECT_FALSE(sys::GetOpenableFileSize("zynUI.exe", size));
    CloseHandle(writer);
}

TEST_F(Win32SystemTest, FileNamesCompareAsTheFileSystemComparesThem) {
    EXPECT_TRUE(sys::SameFileName("zynui.EXE", "zynUI.exe"));
    EXPECT_FALSE(sys::SameFileName("zynUI.exe", "zynUI.ex"));
}

// Each test sees a current user's registry of its own, a throwaway key, so the real proxy
// setting is neither read nor changed.
class ProxyRegistryTest : public ::testing::Test {
  protected:
    static constexpr const char* kUser = "Software\\ZynUnitTestUser";
    void SetUp() override {
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kUser, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &m_user, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, m_user), ERROR_SUCCESS);
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER,
                                  "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Internet Settings",
                                  0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &m_key, nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        RegCloseKey(m_key);
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        RegCloseKey(m_user);
        RegDeleteTreeA(HKEY_CURRENT_USER, kUser);
    }
    void SetValue(const char* name, const std::string& text) {
        RegSetValueExA(m_key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>(text.size() + 1));
    }
    void SetServer(const std::string& text) { SetValue("ProxyServer", text); }
    void SetEnable(DWORD value) {
        RegSetValueExA(m_key, "ProxyEnable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                       sizeof value);
    }
    void Remove(const char* name) { RegDeleteValueA(m_key, name); }

  private:
    HKEY m_user = nullptr, m_key = nullptr;
};

// Both values set are the network tests' proxy cases.
TEST_F(ProxyRegistryTest, ValuesAreReadAsStoredAndMissingOnesStayZero) {
    SetServer("ftp=10.0.0.1:21;socks=10.0.0.2:1080");
    sys::ProxySetting setting = sys::ReadProxySetting();
    EXPECT_EQ(setting.enabled, 0u);
    EXPECT_EQ(setting.server, "ftp=10.0.0.1:21;socks=10.0.0.2:1080");

    Remove("ProxyServer");
    SetEnable(1);
    SetValue("ProxyOverride", "<local>;" + std::string(2000, 'h'));
    setting = sys::ReadProxySetting();
    EXPECT_EQ(setting.enabled, 1u);
    EXPECT_EQ(setting.server, "");
    EXPECT_EQ(setting.proxyOverride, "<local>;" + std::string(2000, 'h'));
}

TEST_F(ProxyRegistryTest, ServerTextLongerThanTheBufferIsNotReadAtAll) {
    SetEnable(1);
    // 1023 characters and the zero fit the 1024-byte buffer exactly; one more does not.
    SetServer(std::string(1018, 'h') + ":3128");
    EXPECT_EQ(sys::ReadProxySetting().server.size(), 1023u);
    SetServer(std::string(1019, 'h') + ":3128");
    EXPECT_EQ(sys::ReadProxySetting().server, "");
}

TEST_F(Win32SystemTest, TheNamedFileRunsWithTheCommandLineAsGivenInItsDirectory) {
    // cmd writes what it is told into its current directory; the launcher does not wait. The
    // command line's first word names no file: only the named program can run.
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    CreateDirectoryA("work", nullptr);
    std::string failure;
    ASSERT_TRUE(sys::StartProcess(std::string(system) + "\\cmd.exe",
                                  "zynEngine.exe /c echo started> child.txt", "work", failure))
        << failure;
    std::string contents;
    for (int i = 0; i < 600 && !sys::ReadWholeFile("work\\child.txt", contents); ++i)
        Sleep(50);
    EXPECT_EQ(contents, "started\r\n");
}

} // namespace
