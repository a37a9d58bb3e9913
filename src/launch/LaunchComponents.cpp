// The component checks of stages 3 to 5: outdated components are marked (the launcher for its
// self-update), then queued with the missing or short ones and those whose size is not the one
// the state lists (the kept bytes of any other go), and the final check before anything starts.
#include "launch/ZynLaunchDlg.h"

#include "config/Components.h"
#include "config/FileTests.h"
#include "framework/System.h"
#include "net/ComponentName.h"
#include "net/DownloadSocket.h"

namespace {
const char* const kLauncher = zyn::kLauncherFile;
const char* const kTemporaryLauncher = zyn::kTemporaryLauncherFile;
const char* const kEngine = zyn::kEngineFile;
const char* const kConfigTool = zyn::kConfigToolFile;
const char* const kNetworkServices = zyn::kNetworkServicesFile;
// Packet-capture files of older installs that conflict with the network services library.
const char* const kObsoleteFiles[] = {"winpcap.exe", "packetx.dll"};
using zyn::kVersionBufferSize;

// The user interface's name comes from the system state: one that could reach outside the
// folder never counts as a component in place, so it is never deleted, only queued, and its
// download fails.
bool IsInPlace(const std::string& name) {
    return zyn::IsSafeComponentName(name) && zyn::FileExists(name) && zyn::IsFileComplete(name);
}
} // namespace

bool CZynLaunchDlg::GetFileVersionString(const std::string& fileName, char* buffer, size_t size) {
    return sys::ReadFileVersion(fileName, buffer, size);
}

std::string CZynLaunchDlg::NormaliseVersion(const std::string& version) {
    return zyn::NormaliseVersion(version);
}

void CZynLaunchDlg::CheckComponentVersions() {
    const struct {
        std::string file;
        const std::string& listed;
    } components[] = {{kEngine, m_strEngineVersion},
                      {kConfigTool, m_strConfigVersion},
                      {kLauncher, m_strLaunchVersion},
                      {m_strUIExecutable, m_strUIVersion}};
    for (const auto& component : components) {
        // Only the user interface's name comes from the state.
        if (component.file != kLauncher && !zyn::IsSafeComponentName(component.file))
            continue;
        char buffer[kVersionBufferSize];
        std::string installed;
        if (GetFileVersionString(component.file, buffer, sizeof buffer))
            installed = buffer;
        if (NormaliseVersion(installed) == component.listed)
            continue;
        // Kept until its replacement is whole: the download's rename over it is the update, and
        // a download that fails leaves a program that still starts.
        if (component.file != kLauncher) {
            m_outdatedComponents.AddTail(component.file);
            continue;
        }
        // Right after a self-update the launcher in place is the one just fetched: if it still
        // differs, another update would fetch the same file again, run after run. This launch
        // goes on with it; a later one may try again.
        if (m_bStage2 != 1)
            m_bUpdateLauncher = 1;
    }
}

void CZynLaunchDlg::CheckDependencies() {
    for (const char* name : kObsoleteFiles)
        sys::DeleteFile(name);
    if (IsStateExpired())
        return;
    if (m_bUpdateLauncher == 1)
        QueueDownload(kTemporaryLauncher);
    for (const std::string& name : {std::string(kNetworkServices), std::string(kEngine),
                                    std::string(kConfigTool), m_strUIExecutable}) {
        if (!IsInPlace(name) || DiffersFromListedSize(name) || IsOutdated(name))
            QueueDownload(name);
    }
    // Bytes kept from a download cut short are continued only by the next download of that
    // file: one not fetched in this run could be continued some day with another version's
    // rest.
    const std::string queued = ";" + m_strDownloadQueue;
    for (const std::string& name :
         {std::string(kTemporaryLauncher), std::string(kNetworkServices), std::string(kEngine),
          std::string(kConfigTool), m_strUIExecutable}) {
        if (zyn::IsSafeComponentName(name) && queued.find(";" + name + ";") == std::string::npos)
            CDownloadSocket::RemoveKeptBytes(name);
    }
}

bool CZynLaunchDlg::IsOutdated(const std::string& fileName) const {
    for (int i = 0; i < m_outdatedComponents.GetCount(); ++i)
        if (m_outdatedComponents.GetAt(i) == fileName)
            return true;
    return false;
}

// A keyed launcher fetches nothing against a state whose signature has run out: an attacker who
// keeps serving an old state cannot hold it to old components for ever, and the user still gets
// what is installed.
bool CZynLaunchDlg::IsStateExpired() {
    const int64_t now = sys::ReadCalendarTime();
    if (m_trustedKeys.empty() || !m_trustEntries.expires || now <= *m_trustEntries.expires)
        return false;
    TraceNote("the system state expired at " + std::to_string(*m_trustEntries.expires) + " (now " +
              std::to_string(now) + "): nothing is downloaded");
    return true;
}

// Only the size, which costs nothing to read: the digest is checked where a download's bytes
// arrive.
bool CZynLaunchDlg::DiffersFromListedSize(const std::string& fileName) const {
    const zyn::DigestEntry* listed = m_trustEntries.FindDigest(fileName);
    uint64_t size = 0;
    return listed && sys::GetOpenableFileSize(fileName, size) && size != listed->size;
}

void CZynLaunchDlg::QueueDownload(const std::string& fileName) {
    m_strDownloadQueue += fileName + ";";
}

bool CZynLaunchDlg::VerifyComponents() {
    for (const std::string& name : {std::string(kEngine), m_strUIExecutable,
                                    std::string(kConfigTool), std::string(kNetworkServices)}) {
        if (!IsInPlace(name))
            return false;
    }
    return true;
}
