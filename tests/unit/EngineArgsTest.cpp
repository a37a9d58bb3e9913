// The engine's arguments from the orbital servers, the user's lines and the deep answer.
#include "config/EngineArgs.h"
#include "LaunchHarness.h"

namespace {

struct Build {
    std::string args = "stale";
    int32_t startEngine = 1, startUI = 1;
};

Build BuildFrom(const std::string& config, const Texts& orbitals = {"A"},
                const std::string& deepServer = "", int32_t port = 0) {
    StringList list;
    for (const auto& orbital : orbitals)
        list.AddTail(orbital);
    Build b;
    zyn::BuildEngineArgs(config, list, {deepServer, "I", port}, b.args, b.startEngine, b.startUI);
    return b;
}

// Without a deep resolver answer, the whole launch's test has the default text byte for byte.
TEST(EngineArgs, WorkedExampleComesOutByteForByte) {
    EXPECT_EQ(BuildFrom(kDefaultUserConfig, {"A", "B"}, "S", 5).args,
              "-mode engine -orbitals AOBO -username ! -password ! -port 0 -accept LOCAL "
              "-timeout NOUI -nic 0  -deepserver S -deepip I -deepport 5");
    EXPECT_EQ(BuildFrom("", {"A", "", "C"}).args, "-mode engine -orbitals AOOCO ");
}

TEST(EngineArgs, OptionsFollowTheUsersLinesOnceEachAndTheDeepAnswerComesLast) {
    const struct {
        std::string config;
        const char* deepServer; // empty: no answer
        int32_t deepPort;
        const char* options; // after "-mode engine -orbitals AO "
    } cases[] = {
        {"zynPort=1\r\nzynAllowBadNICS=y\r\nzynPAT=p\r\nzynPort=2\r\nzynAutoLogin=1\r\n"
         "zynHomebrew=on\r\nzynTimeout=5\r\n",
         "", 0, "-port 1 -allowbad y -patpass p -port 2 -autologin 1 -homebrew on -timeout 5 "},
        // Values go in unquoted; an empty value leaves two blanks.
        {"zynUsername=\r\nzynPassword=two words\r\n", "", 0, "-username  -password two words "},
        // Unknown keys, other letter case and an unended last line add nothing.
        {"zynHomeBrew=OFF\r\nzynui=x\r\nZynPort=1\r\nzynUI=x\r\nzynPort=9", "", 0, ""},
        // zynNIC: nolock for 1, and the NIC for any value of a byte over 1.
        {"zynNIC=1\r\n", "", 0, "-nolock true -nic 1 "},
        {"zynNIC=0\r\n", "", 0, "-nic 0 "},
        {"zynNIC=\r\n", "", 0, ""},
        {"zynNIC=\x01\r\n", "", 0, ""},
        {"zynNIC=\x01x\r\n", "", 0, "-nic \x01x "},
        // zynWireless needs more than 24 bytes and turns ';' into 'o'.
        {"zynWireless=" + std::string(24, 'w') + "\r\n", "", 0, ""},
        {"zynWireless=aaaa;bbbb;cccc;dddd;eeee;f\r\n", "", 0,
         "-wireless aaaaobbbboccccoddddoeeeeof "},
        // The user's deep port, unless 0 or empty, keeps the discovered one out.
        {"zynDeepPort=0\r\n", "S", -5, " -deepserver S -deepip I -deepport -5"},
        {"zynDeepPort=\r\n", "S", 7, " -deepserver S -deepip I -deepport 7"},
        {"zynDeepPort=00\r\n", "S", 7, "-deepport 00  -deepserver S -deepip I"},
        {"zynPassword=x-deepporty\r\n", "S", 7, "-password x-deepporty  -deepserver S -deepip I"},
        {"zynDeepPort=00\r\n", "", 7, "-deepport 00 "},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BuildFrom(c.config, {"A"}, c.deepServer, c.deepPort).args,
                  std::string("-mode engine -orbitals AO ") + c.options)
            << c.config;
}

TEST(EngineArgs, TheLaunchSettingClearsTheFlagsButNeverSetsThem) {
    const struct {
        const char* config;
        int32_t startEngine, startUI;
    } cases[] = {
        {"zynLaunch=UI\r\n", 0, 1},
        {"zynLaunch=ENGINE\r\n", 1, 0},
        {"zynLaunch=UI\r\nzynLaunch=ENGINE\r\nzynLaunch=BOTH\r\n", 0, 0},
        {"zynLaunch=ui\r\nzynLaunch=BOTH\r\n", 1, 1},
    };
    for (const auto& c : cases) {
        const Build b = BuildFrom(c.config);
        EXPECT_EQ(std::pair(b.startEngine, b.startUI), std::pair(c.startEngine, c.startUI))
            << c.config;
        EXPECT_EQ(b.args, "-mode engine -orbitals AO ");
    }
}

} // namespace
