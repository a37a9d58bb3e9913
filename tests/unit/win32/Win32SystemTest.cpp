// The Windows backend's own: file sharing, the registry's proxy setting, a named file started.
#include "../TestSupport.h"
#include "framework/System.h"

#include <windows.h>

namespace {

using Win32SystemTest = ScratchDirTest;

HANDLE Open(const char* name, DWORD access, DWORD share) {
    return CreateFileA(name, access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

TEST_F(Win32SystemTest, ReadsShareTheFileWithReadersButNotWithAWriter) {
    WriteSized("zynUI.exe", 50000);
    // A running program holds its own file open for reading, a scanner a file just written,
    // which is then neither present nor readable.
    for (const auto& [access, share, openable] :
         {std::tuple{GENERIC_READ, FILE_SHARE_READ, true},
          {GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, false}}) {
        const HANDLE other = Open("zynUI.exe", access, share);
        ASSERT_NE(other, INVALID_HANDLE_VALUE);
        std::string contents;
        uint64_t size = 0;
        EXPECT_EQ(sys::ReadWholeFile("zynUI.exe", contents), openable);
        EXPECT_EQ(sys::CanOpenForReading("zynUI.exe"), openable);
        EXPECT_EQ(sys::GetOpenableFileSize("zynUI.exe", size), openable);
        EXPECT_TRUE(!openable || (contents.size() == 50000 && size == 50000));
        CloseHandle(other);
    }
    EXPECT_TRUE(sys::SameFileName("zynui.EXE", "zynUI.exe"));
    EXPECT_FALSE(sys::SameFileName("zynUI.exe", "zynUI.ex"));
}

TEST_F(Win32SystemTest, TheNamedFileRunsWithTheCommandLineAsGivenInItsDirectory) {
    // cmd writes what it is told into its current directory; the launcher does not wait. The
    // command line's first word names no file: only the named program can run.
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    CreateDirectoryA("work", nullptr);
    std::string failure, contents;
    ASSERT_TRUE(sys::StartProcess(std::string(system) + "\\cmd.exe",
                                  "zynEngine.exe /c echo started> child.txt", "work", failure))
        << failure;
    PumpUntil([&] { return sys::ReadWholeFile("work\\child.txt", contents); }, 30000);
    EXPECT_EQ(contents, "started\r\n");
}

// Each test sees a current user's registry of its own, a throwaway key, so the real proxy
// setting is neither read nor changed. Both values set are the network tests' proxy cases.
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
    void Set(const char* name, const std::string& text) {
        RegSetValueExA(m_key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>(text.size() + 1));
    }
    void SetEnable(DWORD value) {
        RegSetValueExA(m_key, "ProxyEnable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                       sizeof value);
    }
    HKEY m_user = nullptr, m_key = nullptr;
};

TEST_F(ProxyRegistryTest, ValuesAreReadAsStoredMissingOnesStayZeroAndALongServerNotAtAll) {
    Set("ProxyServer", "ftp=10.0.0.1:21;socks=10.0.0.2:1080");
    sys::ProxySetting setting = sys::ReadProxySetting();
    EXPECT_EQ(setting.enabled, 0u);
    EXPECT_EQ(setting.server, "ftp=10.0.0.1:21;socks=10.0.0.2:1080");
    RegDeleteValueA(m_key, "ProxyServer");
    SetEnable(1);
    Set("ProxyOverride", "<local>;" + std::string(2000, 'h'));
    setting = sys::ReadProxySetting();
    EXPECT_EQ(setting.enabled, 1u);
    EXPECT_EQ(setting.server, "");
    EXPECT_EQ(setting.proxyOverride, "<local>;" + std::string(2000, 'h'));
    // 1023 characters and the zero fit the 1024-byte buffer exactly; one more does not.
    Set("ProxyServer", std::string(1018, 'h') + ":3128");
    EXPECT_EQ(sys::ReadProxySetting().server.size(), 1023u);
    Set("ProxyServer", std::string(1019, 'h') + ":3128");
    EXPECT_EQ(sys::ReadProxySetting().server, "");
}

} // namespace
