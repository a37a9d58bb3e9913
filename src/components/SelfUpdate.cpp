// The file steps of the launcher's self-update, spread over three runs of the launcher.
#include "launch/ZynLaunchDlg.h"

#include "System.h"

namespace {
const std::string kLauncher = "zynLaunch.exe";
const std::string kTemporaryLauncher = "zynLaunchTemp.exe";
} // namespace

void CZynLaunchDlg::ReplaceLauncher() {
    // No delete first: the copy replaces the old launcher in one step once it is whole, so a
    // copy that fails leaves the old launcher to run rather than none.
    sys::CopyFile(kTemporaryLauncher, kLauncher);
    // The hand-overs report nothing: the next run is whatever file bears the name.
    std::string ignored;
    StartProcess(kLauncher, kLauncher + " -stage2", ".", ignored);
    CloseLauncher();
}

void CZynLaunchDlg::RemoveTemporaryLauncher() {
    sys::DeleteFile(kTemporaryLauncher);
}

void CZynLaunchDlg::HandOverToTemporaryLauncher() {
    std::string ignored;
    StartProcess(kTemporaryLauncher, kTemporaryLauncher + " -stage1", ".", ignored);
    m_bClosing = 1;
    CloseLauncher();
}
