// Fetches one URL into the current folder with the launcher's own download client, exactly as
// stage 5 runs it, and exits 0 once the file is in place: the client side of the download
// benchmark. Given a digest line as the state lists it, the body must match it, checked as it
// arrives.
#include "config/TrustEntries.h"
#include "framework/App.h"
#include "framework/AsyncSocket.h"
#include "framework/System.h"
#include "launch/ZynLaunchDlg.h"
#include "net/ComponentName.h"
#include "net/DownloadSocket.h"

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3 || !AfxSocketInit())
        return 2;
    const zyn::TrustEntries listed =
        zyn::ReadTrustEntries(argc == 3 ? std::string(argv[2]) + "\n" : "");
    if (argc == 3 && listed.digests.size() != 1)
        return 2;
    CZynLaunchDlg owner;
    // A launch that is closing runs no stage when the client reports its end.
    owner.m_bClosing = 1;
    auto* client = new CDownloadSocket();
    client->SetProgressCtrl(&owner.m_progress);
    client->SetOwner(&owner);
    client->SetUrl(argv[1]);
    client->SetExpectedDigest(listed.digests.empty() ? nullptr : &listed.digests[0]);
    if (!client->StartDownload()) {
        delete client;
        return 1;
    }
    // The client's report destroys it, and with it the only socket.
    while (CAsyncSocket::AnyOpen())
        AfxPumpEvents(-1);
    return sys::CanOpenForReading(zyn::UrlFileName(argv[1])) ? 0 : 1;
}
