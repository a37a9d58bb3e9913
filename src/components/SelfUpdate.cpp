// The file steps of the launcher's self-update, spread over three runs of the launcher.
#include "launch/ZynLaunchDlg.h"

#include "System.h"

namespace {
const char* const kLauncher = "zynLaunch.exe";
const char* const kTemporaryLauncher = "zynLaunchTemp.exe";
// The new launcher is copied here first, so that the old one is replaced in a single rename
// and stays in place when the copy cannot be made.
const char* const kIncomingLauncher = "zynLaunchNew.tmp";
} // namespace

void CZynLaunchDlg::ReplaceLauncher() {
    // A copy cut short leaves a partial file behind, as does a rename that fails.
    if (!sys::CopyFile(kTemporaryLauncher, kIncomingLauncher) ||
        !sys::ReplaceFile(kIncomingLauncher, kLauncher))
        sys::DeleteFile(kIncomingLauncher);
    StartProcess(std::string(kLauncher) + " -stage2", ".");
    CloseLauncher();
}

void CZynLaunchDlg::RemoveTemporaryLauncher() {
    sys::DeleteFile(kTemporaryLauncher);
}

void CZynLaunchDlg::HandOverToTemporaryLauncher() {
    StartProcess(std::string(kTemporaryLauncher) + " -stage1", ".");
    m_bClosing = 1;
    CloseLauncher();
}
