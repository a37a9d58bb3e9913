// publish: every fact of the state read from the release (versions with the launcher's readers,
// digests from the bytes served), the state signed and judged as a launcher judges it, and the
// served tree replaced whole by an exchange of folders.
#include "Publish.h"

#include "Release.h"
#include "Signer.h"
#include "config/Components.h"
#include "config/StateBody.h"
#include "config/StateSignature.h"
#include "config/TrustEntries.h"
#include "formats/FileVersionParser.h"
#include "framework/System.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace zynsign {

namespace fs = std::filesystem;

namespace {

struct File {
    std::string bytes;
    zyn::DigestEntry digest;
    std::string versions; // the entries it gives its version to, for the summary
};

bool Refuse(const std::string& message) {
    std::fprintf(stderr, "zynSign: publish refused: %s\n", message.c_str());
    return false;
}

// As a launcher of that platform checks a download before it replaces anything.
bool IsProgramFor(Platform platform, std::string_view bytes) {
    return formats::IsProgramImage(bytes, platform == Platform::Windows
                                              ? formats::ProgramFormat::Pe
                                              : formats::ProgramFormat::Elf);
}

// The state already served, as a file of the output folder; empty when there is none.
std::string_view ServedText(const std::string& body) {
    std::string_view text;
    return zyn::StateTextOfBody(body, text) ? text : std::string_view();
}

// Reads one component: from the release, or for a launcher the release does not renew, the one
// served now.
bool ReadComponent(const PublishRequest& request, const Component& component, File& file) {
    const fs::path own = fs::path(request.releaseFolder) / component.file;
    const fs::path served = fs::path(request.outputFolder) / component.servedName;
    std::error_code error;
    const bool keep = component.file == zyn::kLauncherFile && !fs::exists(own, error);
    if (!sys::ReadWholeFile(keep ? served.string() : own.string(), file.bytes))
        return Refuse(component.file + ": not in " + request.releaseFolder +
                      (keep ? ", nor an earlier one in " + request.outputFolder : ""));
    const bool windows = request.platform == Platform::Windows;
    if (!IsProgramFor(request.platform, file.bytes))
        return Refuse(component.file + " is not a " +
                      (windows ? "Windows program (PE)" : "Linux program (ELF)") + ": " +
                      (windows ? "Windows" : "Linux") + " clients would refuse it");
    sys::Sha256 hash;
    hash.Update(file.bytes);
    file.digest.fileName = component.servedName;
    file.digest.size = file.bytes.size();
    return hash.Final(file.digest.sha256) || Refuse("libcrypto could not hash " + component.file);
}

// Every entry of the output folder must be one that publish wrote, since the folder is replaced
// whole.
bool CheckOutputFolder(const fs::path& output, std::string_view servedText) {
    std::error_code error;
    if (!fs::exists(output, error))
        return true;
    if (!fs::is_directory(output, error))
        return Refuse(output.string() + " is not a folder");
    const zyn::TrustEntries served = zyn::ReadTrustEntries(servedText);
    for (fs::directory_iterator it(output, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name != kServedStateName && !served.FindDigest(name))
            return Refuse(output.string() + " holds " + name +
                          ", which publish did not write there: publish replaces the whole "
                          "folder, so give it a folder of its own");
    }
    return !error || Refuse("cannot list " + output.string() + ": " + error.message());
}

void SyncFolder(const fs::path& folder) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

// Writes the tree into a new folder beside `output`, then exchanges the two in one rename, so
// that a server sees either the old tree or the new one, whole.
bool WriteTree(const fs::path& output, const std::map<std::string, std::string>& files) {
    const fs::path parent = output.parent_path();
    std::string pattern = (parent / ("." + output.filename().string() + ".publish-XXXXXX"));
    if (!mkdtemp(pattern.data()))
        return Refuse("cannot make a folder in " + parent.string());
    const fs::path staging = pattern;
    struct stat served {};
    const mode_t mask = umask(0);
    umask(mask);
    chmod(staging.c_str(),
          stat(output.c_str(), &served) == 0 ? served.st_mode & 07777 : 0777 & ~mask);
    std::error_code ignored;
    for (const auto& [name, bytes] : files)
        if (!sys::WriteWholeFile((staging / name).string(), bytes)) {
            fs::remove_all(staging, ignored);
            return Refuse("cannot write " + (staging / name).string());
        }
    SyncFolder(staging);
    fs::path old = staging;
    bool done =
        renameat2(AT_FDCWD, staging.c_str(), AT_FDCWD, output.c_str(), RENAME_EXCHANGE) == 0;
    if (!done && errno == ENOENT) {
        done = rename(staging.c_str(), output.c_str()) == 0;
    } else if (!done && errno == EINVAL) {
        // A file system that cannot exchange (NFS): the old tree is set aside first, and put
        // back should the new one not take its place; for a moment nothing is served.
        old += "-old";
        done = rename(output.c_str(), old.c_str()) == 0;
        if (done && !(done = rename(staging.c_str(), output.c_str()) == 0))
            rename(old.c_str(), output.c_str());
    }
    const int failure = errno;
    if (!done) {
        fs::remove_all(staging, ignored);
        return Refuse("cannot put the new tree in place of " + output.string() + ": " +
                      std::strerror(failure));
    }
    SyncFolder(parent);
    // Now the old tree, if there was one; a server still sending a file from it keeps it open.
    fs::remove_all(old, ignored);
    return true;
}

bool PublishTree(const PublishRequest& request) {
    PrivateKey key;
    std::string error, raw, served;
    if (!LoadPrivateKey(request.keyFile, request.passphrase, key, error))
        return Refuse(error);
    const fs::path descriptionFile = fs::path(request.releaseFolder) / kReleaseDescription;
    if (!sys::ReadWholeFile(descriptionFile.string(), raw))
        return Refuse("cannot read " + descriptionFile.string());
    std::string changes;
    const std::string description = NormaliseOperatorText(raw, changes);
    std::vector<Component> components;
    if (!CheckReleaseDescription(description, error) ||
        !ComponentsOfState(description, components, error))
        return Refuse(descriptionFile.string() + ": " + error);
    if (!changes.empty())
        std::printf("%s: %s\n", descriptionFile.c_str(), changes.c_str());

    std::map<std::string, File> files; // by the name served
    std::map<std::string, std::string> versions, versionSource;
    std::string stateText = description, digestLines;
    for (const Component& component : components) {
        File& file = files[component.servedName];
        if (file.bytes.empty() && !ReadComponent(request, component, file))
            return false;
        if (digestLines.find("=" + component.servedName + ";") == std::string::npos)
            digestLines += zyn::DigestLine(file.digest) + "\n";
        std::string version;
        // The network services library's version is listed when it has one, never compared.
        const bool hasVersion = ComparedVersionOf(file.bytes, version);
        if (!hasVersion && component.entry == zyn::kNetworkServicesComponent)
            continue;
        if (!hasVersion)
            return Refuse(component.file + " has no version a launcher reads");
        auto [listed, added] = versions.emplace(component.entry, version);
        if (!added && listed->second != version)
            return Refuse(component.file + " and " + versionSource[component.entry] +
                          " share the version entry of " + component.entry + " but carry " +
                          version + " and " + listed->second);
        versionSource.emplace(component.entry, component.file);
        file.versions += ", " + component.entry + " " + version;
        if (added)
            stateText += "ZynVersion=" + component.entry + ";" + version + ";\n";
    }

    std::error_code ignored;
    const fs::path output = fs::absolute(request.outputFolder, ignored).lexically_normal();
    const fs::path outputFolder = output.has_filename() ? output : output.parent_path();
    sys::ReadWholeFile((outputFolder / kServedStateName).string(), served);
    const std::optional<uint64_t> servedSerial = zyn::ReadTrustEntries(ServedText(served)).serial;
    const uint64_t serial = request.serial.value_or(servedSerial.value_or(0) + 1);
    if (servedSerial && serial <= *servedSerial)
        return Refuse("serial " + std::to_string(serial) + " is not higher than the served " +
                      std::to_string(*servedSerial));
    const int64_t now = sys::CalendarTime();
    stateText += digestLines + "ZynSerial=" + std::to_string(serial) +
                 ";\nZynExpires=" + std::to_string(now + request.lifetime) + ";\n";
    sys::P256Signature signature;
    if (!Sign(key, stateText, signature))
        return Refuse("libcrypto could not sign");
    const std::string body =
        std::string(zyn::kStateMarker) + "\n" + stateText + zyn::SignatureLine(signature);
    // The launcher's own decision, before anything is written.
    const zyn::StateVerdict verdict =
        zyn::JudgeStateBody(body, std::span(&key.point, 1), servedSerial, now);
    if (verdict != zyn::StateVerdict::Accepted)
        return Refuse(std::string("a launcher would refuse the state: ") +
                      zyn::StateVerdictText(verdict));
    if (!CheckOutputFolder(outputFolder, ServedText(served)))
        return false;

    std::map<std::string, std::string> tree{{kServedStateName, body}};
    for (auto& [name, file] : files)
        tree[name] = std::move(file.bytes);
    if (!WriteTree(outputFolder, tree))
        return false;
    std::printf("%s: %s, signed\n", (outputFolder / kServedStateName).c_str(),
                DescribeTrust(zyn::ReadTrustEntries(stateText)).c_str());
    for (const auto& [name, file] : files)
        std::printf("%s: %llu bytes%s\n", name.c_str(),
                    static_cast<unsigned long long>(file.digest.size), file.versions.c_str());
    return true;
}

} // namespace

bool ParseDuration(const std::string& text, int64_t& seconds) {
    const std::map<char, int64_t> units{{'d', 86400}, {'h', 3600}, {'m', 60}};
    if (text.size() < 2 || text.size() > 7 || !units.count(text.back()) ||
        text.find_first_not_of("0123456789") != text.size() - 1)
        return false;
    seconds = std::atoll(text.c_str()) * units.at(text.back());
    return seconds > 0;
}

int Publish(const PublishRequest& request) {
    return PublishTree(request) ? 0 : 1;
}

} // namespace zynsign
