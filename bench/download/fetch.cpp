// Fetches one URL into the current folder with the launcher's own download client, exactly as
// stage 5 runs it, and exits 0 once the file is in place: the client side of the download
// benchmark.
#include "App.h"
#include "AsyncSocket.h"
#include "System.h"
#include "launch/ZynLaunchDlg.h"
#include "net/ComponentName.h"
#include "net/DownloadSocket.h"

int main(int argc, char** argv) {
    if (argc != 2 || !AfxSocketInit())
        return 2;
    CZynLaunchDlg owner;
    // A launch that is closing runs no stage when the client reports its end.
    owner.m_bClosing = 1;
    auto* client = new CDownloadSocket();
    client->SetProgressCtrl(&owner.m_progress);
    client->SetOwner(&owner);
    client->SetUrl(argv[1]);
    if (!client->StartDownload()) {
        delete client;
        return 1;
    }
    // The client's report destroys it, and with it the only socket.
    while (CAsyncSocket::AnyOpen())
        AfxPumpEvents(-1);
    return sys::CanOpenForReading(zyn::UrlFileName(argv[1])) ? 0 : 1;
}
