// The launch window's configuration-file operations: thin wrappers that hand the window's
// fields to the file readers.
#include "launch/ZynLaunchDlg.h"

#include "config/EngineArgs.h"
#include "config/FileTests.h"
#include "config/StateSignature.h"
#include "config/SystemStateFile.h"
#include "config/UserConfigFile.h"
#include "framework/System.h"

void CZynLaunchDlg::ReadSystemState() {
    if (!zyn::FileExists(zyn::kSystemStateFileName)) {
        ShowFatalError(zyn::MissingSystemStateMessage());
        return;
    }
    std::string text;
    if (!sys::ReadWholeFile(zyn::kSystemStateFileName, text))
        text.clear();
    zyn::ParseSystemState(text, m_strUIComponent,
                          {m_deepServers, m_orbitalServers, m_downloadURLs, m_updateURLs,
                           m_strUIVersion, m_strLaunchVersion, m_strConfigVersion,
                           m_strEngineVersion, m_strNetworkServicesVersion});
    // Replaced, not added to: at stage 3 a digest holds only if the state as it now stands
    // lists it, whatever the file of stage 1 said.
    m_trustEntries = zyn::ReadTrustEntries(zyn::StateTextOfFile(text));
}

void CZynLaunchDlg::ClearServerLists() {
    m_orbitalServers.RemoveAll();
    m_deepServers.RemoveAll();
    m_downloadURLs.RemoveAll();
    m_updateURLs.RemoveAll();
}

void CZynLaunchDlg::PrepareEngineLaunch() {
    if (!zyn::FileExists(zyn::kUserConfigFileName))
        zyn::CreateDefaultUserConfig();
    BuildEngineArgs();
}

void CZynLaunchDlg::BuildEngineArgs() {
    zyn::BuildEngineArgs(zyn::ReadUserConfigText(), m_orbitalServers,
                         {m_strDeepServer, m_strDeepIP, m_nDeepPort}, m_strEngineArgs,
                         m_bStartEngine, m_bStartUI);
}

void CZynLaunchDlg::AppendEngineOption(const std::string& text) {
    zyn::AppendEngineOption(m_strEngineArgs, text);
}
