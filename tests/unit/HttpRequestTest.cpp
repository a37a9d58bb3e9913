// The bytes of both requests, to a server and through a proxy, and of a proxy's CONNECT.
#include "net/HttpRequest.h"

#include <gtest/gtest.h>

namespace {
zyn::HttpUrl Url(const char* text) {
    zyn::HttpUrl url;
    EXPECT_EQ(zyn::SplitHttpUrl(text, url), zyn::UrlSplit::Ok);
    return url;
}
} // namespace

TEST(HttpRequest, ServerGetsThePathAndProxyTheAbsoluteUrlWithItsCredentials) {
    zyn::RequestContext direct, proxy, unnamed;
    direct.launcherVersion = proxy.launcherVersion = "1.0.0.0";
    proxy.viaProxy = true;
    const std::string end = "Accept-Encoding: identity\r\nConnection: close\r\n\r\n";
    const zyn::HttpUrl state = Url("http://127.0.0.2:8080/zyn/clientgetconfig.php");
    EXPECT_EQ(zyn::BuildStateRequest(state, direct),
              "GET /zyn/clientgetconfig.php HTTP/1.1\r\nHost: 127.0.0.2:8080\r\n"
              "User-Agent: zynLaunch/1.0.0.0\r\nAccept: text/xml\r\n" +
                  end);
    EXPECT_EQ(zyn::BuildStateRequest(state, proxy),
              "GET http://127.0.0.2:8080/zyn/clientgetconfig.php HTTP/1.1\r\n"
              "Host: 127.0.0.2:8080\r\nUser-Agent: zynLaunch/1.0.0.0\r\nAccept: text/xml\r\n" +
                  end);

    const zyn::HttpUrl component = Url("http://[::1]/zyn/zynEngine.exe");
    EXPECT_EQ(zyn::BuildDownloadRequest(component, unnamed, 30000),
              "GET /zyn/zynEngine.exe HTTP/1.1\r\nHost: [::1]\r\nUser-Agent: zynLaunch\r\n"
              "Range: bytes=30000-\r\n" +
                  end);
    EXPECT_EQ(zyn::BuildDownloadRequest(component, unnamed, 30000, "\"5f3a-ea60\""),
              "GET /zyn/zynEngine.exe HTTP/1.1\r\nHost: [::1]\r\nUser-Agent: zynLaunch\r\n"
              "Range: bytes=30000-\r\nIf-Range: \"5f3a-ea60\"\r\n" +
                  end);
    // Nothing is kept: the validator has nothing to name.
    EXPECT_EQ(zyn::BuildDownloadRequest(component, unnamed, 0, "\"5f3a-ea60\""),
              zyn::BuildDownloadRequest(component, unnamed));
    proxy.proxyAuthorization = "Basic dXNlcjpwYXNz";
    EXPECT_EQ(zyn::BuildDownloadRequest(component, proxy),
              "GET http://[::1]/zyn/zynEngine.exe HTTP/1.1\r\nHost: [::1]\r\n"
              "User-Agent: zynLaunch/1.0.0.0\r\nProxy-Authorization: Basic dXNlcjpwYXNz\r\n" +
                  end);
}

TEST(HttpRequest, AProxyIsAskedForATunnelToTheServersPortWithItsCredentials) {
    EXPECT_EQ(zyn::BuildConnectRequest(Url("https://zyn.test/zyn/x"), "", "1.0.0.0"),
              "CONNECT zyn.test:443 HTTP/1.1\r\nHost: zyn.test:443\r\n"
              "User-Agent: zynLaunch/1.0.0.0\r\n\r\n");
    EXPECT_EQ(zyn::BuildConnectRequest(Url("https://[::1]:8443/"), "Basic dXNlcjpwYXNz", ""),
              "CONNECT [::1]:8443 HTTP/1.1\r\nHost: [::1]:8443\r\nUser-Agent: zynLaunch\r\n"
              "Proxy-Authorization: Basic dXNlcjpwYXNz\r\n\r\n");
}
