// Fuzzes the proxy setting both ways it arrives: the Windows setting's text as it stands, and
// the Linux environment's proxy URL turned into that text first. Besides memory faults it
// checks that a setting that is off changes nothing, and that a URL taken as a proxy always
// gives a host to connect to.
#include "FuzzCheck.h"
#include "config/ProxyServer.h"
#include "formats/ProxyUrl.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input = InputText(data, size);
    std::string host = "untouched";
    int32_t port = -1;
    zyn::ParseProxyServer(0, input, host, port);
    Require(host == "untouched" && port == -1);
    zyn::ParseProxyServer(1, input, host, port);

    // The environment holds C strings: a URL ends at its first zero byte.
    const std::string server = ProxyServerFromUrl(input.substr(0, input.find('\0')));
    if (server.empty())
        return 0;
    zyn::ParseProxyServer(1, server, host, port);
    Require(!host.empty());
    return 0;
}
