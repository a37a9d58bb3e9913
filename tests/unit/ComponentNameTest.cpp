// The name a component is requested and written under.
#include "net/ComponentName.h"

#include "framework/System.h"

#include <gtest/gtest.h>

TEST(ComponentName, FileNameIsTheTextAfterTheLastSlash) {
    EXPECT_EQ(zyn::UrlFileName("http://host/zyn/zynEngine.exe"), "zynEngine.exe");
    EXPECT_EQ(zyn::UrlFileName("http://host/zyn/"), "");
    EXPECT_EQ(zyn::UrlFileName("zynEngine.exe"), "zynEngine.exe");
}

TEST(ComponentName, NamesThatLeaveTheFolderOrTheRequestLineOrAreTheLaunchersOwnAreRefused) {
    for (const char* name :
         {"zynEngine.exe", "pssdk_dll.dll", "zyn UI.exe", "a.b.c", "console.exe", "com10.exe"})
        EXPECT_TRUE(zyn::IsSafeComponentName(name)) << name;
    for (const char* name : {"", "..", "..\\zynLaunch.exe", "sub/zynUI.exe", "C:zyn.exe", "a..b",
                             "zyn\r\nUI.exe", "zyn\x7f.exe", "\tzyn.exe", ".", "zynUI.exe.",
                             "zynUI.exe ", "nul", "CON.exe", "com1.dll"})
        EXPECT_FALSE(zyn::IsSafeComponentName(name)) << name;
    for (const char* name :
         {"zynEngine.exe.zynpart", "zynUI.exe.ZynPart", "zynEngine.exe.zynpart.validator",
          "zynLaunch.exe", "zynSystemConfig.txt", "zynUserConfig.txt"})
        EXPECT_FALSE(zyn::IsSafeComponentName(name)) << name;
    // The launcher's own files in another letter case are its files where names ignore case.
    const bool foldsCase = sys::SameFileName("zynui.exe", "zynUI.exe");
    for (const char* name : {"ZYNLAUNCH.EXE", "zynuserconfig.txt", "ZynSystemConfig.TXT"})
        EXPECT_EQ(zyn::IsSafeComponentName(name), !foldsCase) << name;
}
