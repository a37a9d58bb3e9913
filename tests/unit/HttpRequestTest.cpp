// The bytes of both requests, to a server and through a proxy.
#include "net/HttpRequest.h"

#include <gtest/gtest.h>

namespace {
zyn::HttpUrl Url(const char* text) {
    zyn::HttpUrl url;
    EXPECT_EQ(zyn::SplitHttpUrl(text, url), zyn::UrlSplit::Ok);
    return url;
}
} // namespace

TEST(HttpRequest, ServerGetsThePathAndProxyTheAbsoluteUrl) {
    const zyn::HttpUrl state = Url("http://127.0.0.2:8080/zyn/clientgetconfig.php");
    EXPECT_EQ(zyn::BuildStateRequest(state, false),
              "GET /zyn/clientgetconfig.php HTTP/1.1\r\nHost: 127.0.0.2:8080\r\n"
              "Accept: text/xml\r\nAccept-Encoding: identity\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(zyn::BuildStateRequest(state, true),
              "GET http://127.0.0.2:8080/zyn/clientgetconfig.php HTTP/1.1\r\n"
              "Host: 127.0.0.2:8080\r\nAccept: text/xml\r\nAccept-Encoding: "
              "identity\r\nConnection: close\r\n\r\n");

    const zyn::HttpUrl component = Url("http://download.zyn.example/zyn/zynEngine.exe");
    EXPECT_EQ(zyn::BuildDownloadRequest(component, false),
              "GET /zyn/zynEngine.exe HTTP/1.1\r\nHost: download.zyn.example\r\n"
              "Accept-Encoding: identity\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(
        zyn::BuildDownloadRequest(component, true),
        "GET http://download.zyn.example/zyn/zynEngine.exe HTTP/1.1\r\n"
        "Host: download.zyn.example\r\nAccept-Encoding: identity\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(zyn::BuildDownloadRequest(component, false, 30000),
              "GET /zyn/zynEngine.exe HTTP/1.1\r\nHost: download.zyn.example\r\n"
              "Range: bytes=30000-\r\nAccept-Encoding: identity\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(zyn::BuildDownloadRequest(component, false, 30000, "\"5f3a-ea60\""),
              "GET /zyn/zynEngine.exe HTTP/1.1\r\nHost: download.zyn.example\r\n"
              "Range: bytes=30000-\r\nIf-Range: \"5f3a-ea60\"\r\nAccept-Encoding: identity\r\n"
              "Connection: close\r\n\r\n");
    // Nothing is kept: the validator has nothing to name.
    EXPECT_EQ(zyn::BuildDownloadRequest(component, false, 0, "\"5f3a-ea60\""),
              zyn::BuildDownloadRequest(component, false));
}
