// The engine's argument text, from the orbital servers, the user's lines and the deep resolver
// answer.
#include "config/EngineArgs.h"
#include "LaunchHarness.h"

#include <gtest/gtest.h>

namespace {
struct Build {
    std::string args = "stale";
    int32_t startEngine = 1;
    int32_t startUI = 1;
};

Build BuildFrom(const std::string& config, std::vector<std::string> orbitals = {"A"},
                const std::string& deepServer = "", const std::string& deepIP = "",
                int32_t port = 0) {
    StringList list;
    for (const auto& o : orbitals)
        list.AddTail(o);
    Build b;
    zyn::BuildEngineArgs(config, list, {deepServer, deepIP, port}, b.args, b.startEngine,
                         b.startUI);
    return b;
}

// Only the options after the fixed start and one orbital server "A".
std::string Options(const std::string& config) {
    const std::string args = BuildFrom(config).args;
    const std::string start = "-mode engine -orbitals AO ";
    EXPECT_EQ(args.substr(0, start.size()), start);
    return args.substr(start.size());
}
} // namespace

// Without a deep resolver answer, the whole launch's test has the default text byte for byte.
TEST(EngineArgs, WorkedExampleComesOutByteForByte) {
    EXPECT_EQ(BuildFrom(kDefaultUserConfig, {"A", "B"}, "S", "I", 5).args,
              "-mode engine -orbitals AOBO -username ! -password ! -port 0 -accept LOCAL "
              "-timeout NOUI -nic 0  -deepserver S -deepip I -deepport 5");
    EXPECT_EQ(BuildFrom("", {"A", "", "C"}).args, "-mode engine -orbitals AOOCO ");
}

TEST(EngineArgs, OptionsFollowTheFileOrderOnceForEachLine) {
    EXPECT_EQ(Options("zynPort=1\r\nzynAllowBadNICS=y\r\nzynPAT=p\r\nzynPort=2\r\n"
                      "zynAutoLogin=1\r\nzynHomebrew=on\r\nzynTimeout=5\r\n"),
              "-port 1 -allowbad y -patpass p -port 2 -autologin 1 -homebrew on -timeout 5 ");
    // Values go in unquoted; an empty value leaves two blanks.
    EXPECT_EQ(Options("zynUsername=\r\nzynPassword=two words\r\n"),
              "-username  -password two words ");
    // Unknown keys, other letter case and an unended last line add nothing.
    EXPECT_EQ(Options("zynHomeBrew=OFF\r\nzynui=x\r\nZynPort=1\r\nzynUI=x\r\nzynPort=9"), "");
}

TEST(EngineArgs, NicGivesNolockForOneAndNicForAnyNonEmptyValue) {
    EXPECT_EQ(Options("zynNIC=1\r\n"), "-nolock true -nic 1 ");
    EXPECT_EQ(Options("zynNIC=0\r\n"), "-nic 0 ");
    EXPECT_EQ(Options("zynNIC=\r\n"), "");
    EXPECT_EQ(Options("zynNIC=\x01\r\n"), "");
    EXPECT_EQ(Options("zynNIC=\x01x\r\n"), "-nic \x01x ");
}

TEST(EngineArgs, WirelessNeedsMoreThan24BytesAndTurnsSemicolonsIntoO) {
    EXPECT_EQ(Options("zynWireless=" + std::string(24, 'w') + "\r\n"), "");
    EXPECT_EQ(Options("zynWireless=aaaa;bbbb;cccc;dddd;eeee;f\r\n"), "-wireless aaaaobbbbocccco"
                                                                     "ddddoeeeeof ");
}

TEST(EngineArgs, TheUsersDeepPortExceptZeroOrEmptyKeepsTheDiscoveredPortOut) {
    EXPECT_EQ(BuildFrom("zynDeepPort=0\r\n", {"A"}, "S", "I", -5).args,
              "-mode engine -orbitals AO  -deepserver S -deepip I -deepport -5");
    EXPECT_EQ(BuildFrom("zynDeepPort=\r\n", {"A"}, "S", "I", 7).args,
              "-mode engine -orbitals AO  -deepserver S -deepip I -deepport 7");
    EXPECT_EQ(BuildFrom("zynDeepPort=00\r\n", {"A"}, "S", "I", 7).args,
              "-mode engine -orbitals AO -deepport 00  -deepserver S -deepip I");
    EXPECT_EQ(BuildFrom("zynPassword=x-deepporty\r\n", {"A"}, "S", "I", 7).args,
              "-mode engine -orbitals AO -password x-deepporty  -deepserver S -deepip I");
    // Without an answer no deep resolver part at all.
    EXPECT_EQ(BuildFrom("zynDeepPort=00\r\n", {"A"}, "", "I", 7).args,
              "-mode engine -orbitals AO -deepport 00 ");
}

TEST(EngineArgs, LaunchSettingClearsTheFlagsButNeverSetsThem) {
    Build b = BuildFrom("zynLaunch=UI\r\n");
    EXPECT_EQ(b.startEngine, 0);
    EXPECT_EQ(b.startUI, 1);
    b = BuildFrom("zynLaunch=ENGINE\r\n");
    EXPECT_EQ(b.startEngine, 1);
    EXPECT_EQ(b.startUI, 0);
    b = BuildFrom("zynLaunch=UI\r\nzynLaunch=ENGINE\r\nzynLaunch=BOTH\r\n");
    EXPECT_EQ(b.startEngine, 0);
    EXPECT_EQ(b.startUI, 0);
    b = BuildFrom("zynLaunch=ui\r\nzynLaunch=BOTH\r\n");
    EXPECT_EQ(b.startEngine, 1);
    EXPECT_EQ(b.startUI, 1);
    EXPECT_EQ(b.args, "-mode engine -orbitals AO ");
}
