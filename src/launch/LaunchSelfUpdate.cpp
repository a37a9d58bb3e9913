// The file steps of the launcher's self-update, spread over three runs of the launcher, and the
// removal of what a launch cut short left behind.
#include "launch/ZynLaunchDlg.h"

#include "config/Components.h"
#include "config/SystemStateFile.h"
#include "config/UserConfigFile.h"
#include "framework/System.h"

namespace {
const std::string kLauncher = zyn::kLauncherFile;
const std::string kTemporaryLauncher = zyn::kTemporaryLauncherFile;
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

void CZynLaunchDlg::RemoveLeftovers() {
    // Files that are written whole or not at all leave their temporary file when the launch
    // ends in the middle of one. The downloads' temporary files are not among them: those are
    // the download's own business.
    for (const char* name : {zyn::kSystemStateFileName, zyn::kUserConfigFileName})
        sys::DeleteFile(sys::TemporaryFileName(name));
    // The run started from the temporary launcher needs it, and has made its copy by now.
    if (m_bStage1 == 1)
        return;
    sys::DeleteFile(sys::TemporaryFileName(kLauncher));
    // Any other run is no step of a self-update that still needs the temporary launcher: the
    // last step has removed it, or the update was cut short and starts again from the
    // download, which comes later in this run.
    RemoveTemporaryLauncher();
}
