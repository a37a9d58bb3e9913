// The launch window's deep resolver scan: one probe to every listed server, all at once.
#include "launch/ZynLaunchDlg.h"

#include "formats/IpAddress.h"
#include "framework/LoopServices.h"
#include "net/DeepAnswer.h"
#include "net/DeepResolverSocket.h"

#include <algorithm>

namespace {
bool IsIpv4(const std::string& host) {
    formats::Ipv4Bytes bytes;
    return formats::ParseIpv4(host, bytes);
}
} // namespace

// Answers come later, to this same socket, in its notifications; nothing here waits for them.
void CZynLaunchDlg::ScanDeepServers() {
    // Gone after a CloseLauncher earlier in the stage: the launch no longer listens.
    if (!m_pDeepResolverSocket)
        return;
    std::vector<std::string> servers;
    bool names = false;
    for (int i = 0; i < m_deepServers.GetCount(); ++i) {
        servers.push_back(m_deepServers.GetAt(i));
        names = names || !IsIpv4(servers.back());
    }
    if (!names) {
        SendDeepProbes(servers);
        return;
    }
    // A name is looked up on a worker, so that a slow resolver never holds the window; the
    // probes then go out together, in the list's order. One that does not resolve, or has no
    // IPv4 address, is passed over.
    sys::RunOnWorker([servers, alive = std::weak_ptr<CZynLaunchDlg*>(m_alive)]() mutable {
        for (std::string& server : servers) {
            if (IsIpv4(server))
                continue;
            const std::vector<std::string> found = sys::LookUpAddresses(server);
            const auto v4 = std::find_if(found.begin(), found.end(), IsIpv4);
            server = v4 == found.end() ? std::string() : *v4;
        }
        return std::function<void()>([servers, alive] {
            if (const auto self = alive.lock())
                (*self)->SendDeepProbes(servers);
        });
    });
}

void CZynLaunchDlg::SendDeepProbes(const std::vector<std::string>& addresses) {
    if (!m_pDeepResolverSocket)
        return;
    for (const std::string& address : addresses)
        if (!address.empty())
            m_pDeepResolverSocket->SendTo(zyn::kDeepProbe.data(),
                                          static_cast<int>(zyn::kDeepProbe.size()),
                                          zyn::kDeepResolverPort, address);
}
