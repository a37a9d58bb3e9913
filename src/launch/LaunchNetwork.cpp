// The launch window's network operations. The system state retrieval and the component
// downloads are separate pieces still to come; until then these send nothing and report
// nothing, so the launch goes on with the local files.
#include "launch/ZynLaunchDlg.h"

void CZynLaunchDlg::RequestSystemState() {}

// Only reached with a queued file, and nothing queues one yet.
void CZynLaunchDlg::StartDownload(const std::string& fileName) {
    (void)fileName;
}
