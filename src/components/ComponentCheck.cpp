// The component checks of stages 3 to 5: outdated components are deleted (the launcher marks
// itself for self-update instead), missing or short ones, and those whose size is not the one
// the state lists, are queued for download (the kept bytes of any other go), and the final
// check before anything is started.
#include "launch/ZynLaunchDlg.h"

#include "System.h"
#include "config/FileTests.h"
#include "net/ComponentName.h"
#include "net/DownloadSocket.h"

namespace {
const char* const kLauncher = "zynLaunch.exe";
const char* const kTemporaryLauncher = "zynLaunchTemp.exe";
const char* const kEngine = "zynEngine.exe";
const char* const kConfigTool = "zynConfig.exe";
// The network services library: checked for presence and size only, never for its version.
const char* const kNetworkServices = "pssdk_dll.dll";
// Packet-capture files of older installs that conflict with the network services library.
const char* const kObsoleteFiles[] = {"winpcap.exe", "packetx.dll"};
const size_t kVersionBufferSize = 128;

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
    std::string text = version;
    for (char& c : text)
        if (c == ',')
            c = '.';
    const char* const whiteSpace = " \t\n\v\f\r";
    const size_t first = text.find_first_not_of(whiteSpace);
    if (first == std::string::npos)
        return std::string();
    text = text.substr(first, text.find_last_not_of(whiteSpace) - first + 1);
    // Only blanks go from the inside: "7, 0, 2, 5" is written so by the resource compiler.
    std::string normalised;
    for (char c : text)
        if (c != ' ')
            normalised += c;
    return normalised;
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
        if (!zyn::IsSafeComponentName(component.file))
            continue;
        char buffer[kVersionBufferSize];
        std::string installed;
        if (GetFileVersionString(component.file, buffer, sizeof buffer))
            installed = buffer;
        if (NormaliseVersion(installed) == component.listed)
            continue;
        if (component.file != kLauncher) {
            sys::DeleteFile(component.file);
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
    if (m_bUpdateLauncher == 1)
        QueueDownload(kTemporaryLauncher);
    for (const std::string& name : {std::string(kNetworkServices), std::string(kEngine),
                                    std::string(kConfigTool), m_strUIExecutable}) {
        if (!IsInPlace(name) || DiffersFromListedSize(name))
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
