// Fetches one URL into the current folder with the launcher's own download client and exits 0
// once the file is in place: the client side of the download benchmark. Given a digest line as
// the state lists it, the body must match it, checked as it arrives.
#include "config/TrustEntries.h"
#include "framework/App.h"
#include "framework/AsyncSocket.h"
#include "framework/Controls.h"
#include "net/DownloadSocket.h"
#include "net/LaunchEvents.h"

#include <cstdio>

namespace {
class Owner : public CLaunchEvents {
  public:
    bool done = false, whole = false;
    void OnDownloadFinished(CDownloadSocket* client) override { End(client, true); }
    void OnDownloadFailed(CDownloadSocket* client) override { End(client, false); }
    void OnSystemStateReceived(CStateSocket*, const std::string&, int) override {}
    void OnDeepServerFound(const std::string&, const std::string&, int) override {}
    void OnTransferNote(const std::string& text) override {
        std::fprintf(stderr, "%s\n", text.c_str());
    }

  private:
    void End(CDownloadSocket* client, bool arrived) {
        delete client;
        done = true;
        whole = arrived;
    }
};
} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3 || !AfxSocketInit())
        return 2;
    const zyn::TrustEntries listed =
        zyn::ReadTrustEntries(argc == 3 ? std::string(argv[2]) + "\n" : "");
    if (argc == 3 && listed.digests.size() != 1)
        return 2;
    Owner owner;
    CProgressCtrl bar;
    auto* client = new CDownloadSocket();
    client->SetProgressCtrl(&bar);
    client->SetOwner(&owner);
    client->SetUrl(argv[1]);
    client->SetExpectedDigest(listed.digests.empty() ? nullptr : &listed.digests[0]);
    if (!client->StartDownload({})) {
        delete client;
        return 1;
    }
    while (!owner.done)
        AfxPumpEvents(-1, [&] { return owner.done; });
    return owner.whole ? 0 : 1;
}
