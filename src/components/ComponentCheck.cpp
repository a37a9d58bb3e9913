// The component checks of stages 3 to 5. The version comparison and the dependency check come
// with the download piece; until then they delete nothing and queue nothing.
#include "launch/ZynLaunchDlg.h"

#include "config/FileTests.h"

void CZynLaunchDlg::CheckComponentVersions() {}

void CZynLaunchDlg::CheckDependencies() {}

bool CZynLaunchDlg::VerifyComponents() {
    for (const std::string& name : {std::string("zynEngine.exe"), m_strUIExecutable,
                                    std::string("zynConfig.exe"), std::string("pssdk_dll.dll")}) {
        if (!zyn::FileExists(name) || !zyn::IsFileComplete(name))
            return false;
    }
    return true;
}
