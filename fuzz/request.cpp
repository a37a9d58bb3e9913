// Fuzzes the way from a listed URL, a queued name and a redirection's Location to the bytes of a
// request. The input's lines: a URL, a component name appended to it (encoded, once it passes the
// name check), a Location resolved against the URL. The promises checked are marked "Promise".
#include "FuzzCheck.h"
#include "net/ComponentName.h"
#include "net/HttpRequest.h"

#include <algorithm>

namespace {

// Promise: no control byte of the input reaches the request: each line ends with CR LF, holds no
// other control byte, the request line has three words, the header `headerLines` fields.
void CheckRequest(const std::string& request, size_t headerLines) {
    size_t lines = 0, at = 0;
    for (size_t end; at < request.size(); at = end + 2, ++lines) {
        end = request.find("\r\n", at);
        Require(end != std::string::npos);
        const std::string line = request.substr(at, end - at);
        Require(std::none_of(line.begin(), line.end(),
                             [](unsigned char c) { return c < 0x20 || c == 0x7f; }));
        Require(lines != 0 || std::count(line.begin(), line.end(), ' ') == 2);
        Require(line.empty() == (lines == headerLines + 1));
    }
    Require(lines == headerLines + 2);
}

// Promise: an accepted URL keeps its promises, and gives sound requests.
void CheckParts(const zyn::HttpUrl& parts) {
    Require((parts.scheme == "http" || parts.scheme == "https") && !parts.host.empty() &&
            parts.port != 0 && parts.path[0] == '/' && parts.path.find('#') == std::string::npos &&
            (parts.authority.rfind(parts.host, 0) == 0 ||
             parts.authority.rfind("[" + parts.host + "]", 0) == 0));
    zyn::RequestContext context;
    context.launcherVersion = "1.0.0.0";
    context.proxyAuthorization = "Basic dTpw";
    for (bool viaProxy : {false, true}) {
        context.viaProxy = viaProxy;
        CheckRequest(zyn::BuildStateRequest(parts, context), viaProxy ? 6 : 5);
        CheckRequest(zyn::BuildDownloadRequest(parts, context), viaProxy ? 5 : 4);
        CheckRequest(zyn::BuildDownloadRequest(parts, context, 1000, "\"v\""), viaProxy ? 7 : 6);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string> lines = Fields(InputText(data, size), '\n', 3);
    std::string url = lines[0];
    if (lines.size() > 1 && zyn::IsSafeComponentName(lines[1])) {
        // Promise: the name is the file a download writes, so it is what the URL ends in.
        const std::string encoded = zyn::EncodePathSegment(lines[1]);
        if (!url.empty() && url.back() == '/')
            Require(zyn::DecodePercent(zyn::UrlFileName(url + encoded)) == lines[1]);
        url += encoded;
    }
    // Promise: a refused URL leaves the parts alone.
    zyn::HttpUrl parts;
    parts.host = "untouched";
    if (zyn::SplitHttpUrl(url, parts) != zyn::UrlSplit::Ok) {
        Require(parts.host == "untouched" && parts.port == 80 && parts.path.empty());
        return 0;
    }
    CheckParts(parts);
    if (lines.size() < 3)
        return 0;
    // Promise: a redirection never leaves https.
    std::string next, again;
    zyn::HttpUrl target, same;
    const zyn::UrlSplit result = zyn::FollowLocation(url, lines[2], next, target);
    if (parts.scheme == "https" && result != zyn::UrlSplit::Malformed &&
        result != zyn::UrlSplit::UnsupportedScheme)
        Require(result == zyn::UrlSplit::Downgrade || target.scheme == "https");
    if (result != zyn::UrlSplit::Ok)
        return 0;
    // Promise: what a redirection leads to is a URL of its own, that an empty Location leaves
    // as it is.
    CheckParts(target);
    Require(next.find('#') == std::string::npos);
    Require(zyn::FollowLocation(next, "", again, same) == zyn::UrlSplit::Ok && again == next &&
            same.authority == target.authority && same.path == target.path);
    return 0;
}
