// A fetched system state body turned into the file's text: only one with the exact marker first.
#include "config/StateBody.h"

#include <gtest/gtest.h>

TEST(StateBody, AMarkedBodyLosesItsFirstLineAndGetsCrLfAndAnyOtherIsRefused) {
    const std::pair<const char*, const char*> cases[] = {
        {"ZYN_XSERVER_CONFIG;\nZynOrbitalServer=a;\nZynVersion=Engine;1;\n",
         "ZynOrbitalServer=a;\r\nZynVersion=Engine;1;\r\n"},
        // A CR LF body keeps its CR: the cut then leaves a bare line feed first.
        {"ZYN_XSERVER_CONFIG;\r\nA=1;\r\n", "\nA=1;\r\r\n"},
        {"ZYN_XSERVER_CONFIG;\n", ""},
        {"ZYN_XSERVER_CONFIG;", ""},
        {"ZYN_XSERVER_CONFIG;xyA=1;", "A=1;"},
        {"zyn_xserver_config;\nA=1;\n", nullptr},
        {" ZYN_XSERVER_CONFIG;\nA=1;\n", nullptr},
        {"ZYN_XSERVER_CONFIG\nA=1;\n", nullptr},
        {"<html>ZYN_XSERVER_CONFIG;\n", nullptr},
        {"", nullptr},
    };
    for (const auto& [body, text] : cases) {
        std::string file = "previous";
        EXPECT_EQ(zyn::RewriteStateBody(body, file), text != nullptr) << body;
        EXPECT_EQ(file, text ? text : "previous") << body;
    }
}
