// Fuzzes the way from a listed URL, a queued name and a redirection's Location to the bytes of a
// request. The input is a URL, optionally followed by a line feed and a component name that is
// appended to it encoded once it passes the name check, as a download appends it, and by another
// line feed and a Location resolved against the URL. Besides memory faults it checks that a
// refused URL leaves the parts alone, that an accepted one keeps its promises, that a redirection
// never leaves https, and that no blank, CR, LF or other control byte of the input ever reaches
// the request line or a header.
#include "FuzzCheck.h"
#include "net/ComponentName.h"
#include "net/HttpRequest.h"

#include <algorithm>

namespace {

bool IsControl(unsigned char c) {
    return c < 0x20 || c == 0x7f;
}

// The request's lines, each ended by CR LF and free of other control bytes, the request line
// of exactly three words, and the header's end after `headerLines` fields.
void CheckRequest(const std::string& request, size_t headerLines) {
    size_t lines = 0, at = 0;
    for (size_t end; at < request.size(); at = end + 2, ++lines) {
        end = request.find("\r\n", at);
        Require(end != std::string::npos);
        const std::string line = request.substr(at, end - at);
        for (char c : line)
            Require(!IsControl(static_cast<unsigned char>(c)));
        if (lines == 0)
            Require(std::count(line.begin(), line.end(), ' ') == 2);
        Require(line.empty() == (lines == headerLines + 1));
    }
    Require(lines == headerLines + 2);
}

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
    const std::string input = InputText(data, size);
    const size_t lineEnd = input.find('\n');
    const size_t locationStart =
        lineEnd == std::string::npos ? lineEnd : input.find('\n', lineEnd + 1);
    std::string url = input.substr(0, lineEnd);
    if (lineEnd != std::string::npos) {
        const std::string name = input.substr(lineEnd + 1, locationStart - lineEnd - 1);
        if (zyn::IsSafeComponentName(name)) {
            // The name is the file a download writes, so it must be what the URL ends in.
            const std::string encoded = zyn::EncodePathSegment(name);
            if (!url.empty() && url.back() == '/')
                Require(zyn::DecodePercent(zyn::UrlFileName(url + encoded)) == name);
            url += encoded;
        }
    }

    zyn::HttpUrl parts;
    parts.host = "untouched";
    if (zyn::SplitHttpUrl(url, parts) != zyn::UrlSplit::Ok) {
        Require(parts.host == "untouched" && parts.port == 80 && parts.path.empty());
        return 0;
    }
    CheckParts(parts);
    if (locationStart == std::string::npos)
        return 0;

    std::string next, again;
    zyn::HttpUrl target, same;
    const zyn::UrlSplit result =
        zyn::FollowLocation(url, input.substr(locationStart + 1), next, target);
    if (parts.scheme == "https" && result != zyn::UrlSplit::Malformed &&
        result != zyn::UrlSplit::UnsupportedScheme)
        Require(result == zyn::UrlSplit::Downgrade || target.scheme == "https");
    if (result != zyn::UrlSplit::Ok)
        return 0;
    // What a redirection leads to is a URL of its own, that an empty Location leaves as it is.
    CheckParts(target);
    Require(next.find('#') == std::string::npos);
    Require(zyn::FollowLocation(next, "", again, same) == zyn::UrlSplit::Ok && again == next &&
            same.authority == target.authority && same.path == target.path);
    return 0;
}
