// What a launcher would make of a served state and the files it lists, item by item.
#include "ServedState.h"

#include "Fetch.h"
#include "Release.h"
#include "config/Components.h"
#include "config/StateBody.h"
#include "config/StateSignature.h"
#include "config/SystemStateFile.h"
#include "config/TrustEntries.h"
#include "framework/System.h"
#include "net/ComponentName.h"
#include "net/HttpUrl.h"

#include <cstdio>

namespace zynsign {

namespace {

struct Report {
    int failures = 0;
    void Item(const std::string& item, const std::string& failure, const std::string& detail) {
        failures += !failure.empty();
        std::printf("%s: %s\n", item.c_str(),
                    failure.empty() ? ("ok" + detail).c_str() : ("FAILED: " + failure).c_str());
    }
};

// The version a launcher would take from the state for the component entry `entry`, and the
// state's download URLs.
std::string ListedVersion(const std::string& fileText, const std::string& entry,
                          StringList* downloadURLs = nullptr) {
    StringList deep, orbital, downloads, updates;
    std::string versions[5];
    zyn::ParseSystemState(fileText, entry,
                          {deep, orbital, downloads, updates, versions[0], versions[1], versions[2],
                           versions[3], versions[4]});
    if (downloadURLs)
        *downloadURLs = downloads;
    return versions[0];
}

std::string CheckFile(const FetchResult& fetched, const zyn::DigestEntry& listed,
                      const std::vector<std::pair<std::string, std::string>>& versions,
                      std::string& detail) {
    if (!fetched.complete)
        return fetched.failure;
    if (fetched.body.size() != listed.size)
        return std::to_string(fetched.body.size()) + " bytes, the state lists " +
               std::to_string(listed.size);
    sys::Sha256 hash;
    sys::Sha256Digest digest;
    hash.Update(fetched.body);
    if (!hash.Final(digest) || digest != listed.sha256)
        return "its SHA-256 is not the one the state lists";
    detail = " (" + std::to_string(listed.size) + " bytes";
    for (const auto& [entry, version] : versions) {
        std::string read;
        if (!ComparedVersionOf(fetched.body, read) || read != version)
            return "a launcher reads the version \"" + read + "\", the state lists " + version +
                   " for " + entry + " (it would fetch the file at every start)";
        detail += ", " + entry + " " + version;
    }
    detail += ")";
    return "";
}

} // namespace

int VerifyServedState(std::span<const sys::P256PublicKey> keys, const std::string& url) {
    zyn::HttpUrl parts;
    if (zyn::SplitHttpUrl(url, parts) == zyn::UrlSplit::UnsupportedScheme) {
        std::fprintf(stderr, "zynSign: %s: a launcher fetches only http:// and https:// URLs\n",
                     url.c_str());
        return 1;
    }
    Report report;
    const FetchResult state = Fetch(url, FetchKind::State, zyn::kStateBodyLimit);
    std::string_view text;
    const bool isState = state.complete && zyn::StateTextOfBody(state.body, text);
    const zyn::StateVerdict verdict =
        zyn::JudgeStateBody(state.body, keys, std::nullopt, sys::CalendarTime());
    if (!isState || verdict != zyn::StateVerdict::Accepted) {
        report.Item(url,
                    !state.complete ? state.failure
                    : !isState
                        ? std::string("its first line is not ") + zyn::kStateMarker
                        : std::string("a launcher refuses it: ") + zyn::StateVerdictText(verdict),
                    "");
        return 1;
    }
    const zyn::TrustEntries entries = zyn::ReadTrustEntries(text);
    report.Item(url, "", " (good signature, " + DescribeTrust(entries) + ")");
    std::string fileText, error;
    zyn::RewriteStateBody(state.body, fileText);
    StringList mirrors;
    ListedVersion(fileText, "", &mirrors);
    std::vector<Component> components;
    if (!ComponentsOfState(std::string(text), components, error))
        report.Item(url, error, "");
    if (mirrors.IsEmpty())
        report.Item(url, "no ZynDownloadURL entry", "");

    for (const Component& component : components) {
        if (!entries.FindDigest(component.servedName))
            report.Item(component.servedName,
                        "no ZynDigest entry: a launcher with keys never downloads it", "");
        if (component.entry != zyn::kNetworkServicesComponent &&
            ListedVersion(fileText, component.entry).empty())
            report.Item(component.servedName,
                        "no version listed for " + component.entry +
                            ": launchers would fetch it at every start",
                        "");
    }
    for (const zyn::DigestEntry& listed : entries.digests) {
        if (&listed != entries.FindDigest(listed.fileName))
            continue; // a later entry for the same file is the one a launcher uses
        if (!zyn::IsSafeComponentName(listed.fileName)) {
            report.Item(listed.fileName, "not a name a launcher fetches", "");
            continue;
        }
        // The versions a launcher compares with this file's (one missing is reported above).
        std::vector<std::pair<std::string, std::string>> versions;
        for (const Component& component : components) {
            const std::string version = ListedVersion(fileText, component.entry);
            if (component.servedName == listed.fileName &&
                component.entry != zyn::kNetworkServicesComponent && !version.empty())
                versions.emplace_back(component.entry, version);
        }
        for (int i = 0; i < mirrors.GetCount(); ++i) {
            const std::string fileUrl = mirrors.GetAt(i) + listed.fileName;
            std::string detail;
            const std::string failure = CheckFile(Fetch(fileUrl, FetchKind::Component, listed.size),
                                                  listed, versions, detail);
            report.Item(fileUrl, failure, detail);
        }
    }
    if (report.failures)
        std::fprintf(stderr, "zynSign: %d item(s) failed\n", report.failures);
    return report.failures ? 1 : 0;
}

} // namespace zynsign
