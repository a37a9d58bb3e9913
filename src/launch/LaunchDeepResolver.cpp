// The launch window's deep resolver scan: one probe to every listed server, all at once.
#include "launch/ZynLaunchDlg.h"
#include "net/DeepAnswer.h"
#include "net/DeepResolverSocket.h"

// Answers come later, to this same socket, in its notifications; nothing here waits for them.
void CZynLaunchDlg::ScanDeepServers() {
    // Gone after a CloseLauncher earlier in the stage: the launch no longer listens.
    if (!m_pDeepResolverSocket)
        return;
    // A name that does not resolve fails its send and is simply passed over.
    for (int i = 0; i < m_deepServers.GetCount(); ++i)
        m_pDeepResolverSocket->SendTo(zyn::kDeepProbe.data(),
                                      static_cast<int>(zyn::kDeepProbe.size()),
                                      zyn::kDeepResolverPort, m_deepServers.GetAt(i));
}
