// A fetched system state body turned into the file's text.
#include "config/StateBody.h"

#include <gtest/gtest.h>

TEST(StateBody, MarkedBodyLosesItsFirstLineAndGetsCrLf) {
    struct Case {
        const char* body;
        const char* file;
    } cases[] = {
        {"ZYN_XSERVER_CONFIG;\nZynOrbitalServer=a;\nZynVersion=Engine;1;\n",
         "ZynOrbitalServer=a;\r\nZynVersion=Engine;1;\r\n"},
        // A CR LF body keeps its CR: the cut then leaves a bare line feed first.
        {"ZYN_XSERVER_CONFIG;\r\nA=1;\r\n", "\nA=1;\r\r\n"},
        {"ZYN_XSERVER_CONFIG;\n", ""},
        {"ZYN_XSERVER_CONFIG;", ""},
        {"ZYN_XSERVER_CONFIG;xyA=1;", "A=1;"},
    };
    for (const Case& c : cases) {
        std::string file = "previous";
        ASSERT_TRUE(zyn::RewriteStateBody(c.body, file)) << c.body;
        EXPECT_EQ(file, c.file);
    }
}

TEST(StateBody, BodyWithoutTheExactMarkerFirstIsRefused) {
    for (const char* body : {"zyn_xserver_config;\nA=1;\n", " ZYN_XSERVER_CONFIG;\nA=1;\n",
                             "ZYN_XSERVER_CONFIG\nA=1;\n", "<html>ZYN_XSERVER_CONFIG;\n", ""}) {
        std::string file = "previous";
        EXPECT_FALSE(zyn::RewriteStateBody(body, file)) << body;
        EXPECT_EQ(file, "previous");
    }
}
