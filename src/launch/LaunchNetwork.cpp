// The launch window's deep resolver scan. It is a separate piece still to come; until then it
// sends nothing, so the engine starts without a deep resolution server.
#include "launch/ZynLaunchDlg.h"

void CZynLaunchDlg::ScanDeepServers() {}
