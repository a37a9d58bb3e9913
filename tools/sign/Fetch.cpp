// The launcher's transfer, driven by the event loop until it ends, its stall limit counted in
// the ticks a launch's window timer would give it.
#include "Fetch.h"

#include "framework/App.h"
#include "framework/AsyncSocket.h"
#include "framework/System.h"
#include "net/HttpRequest.h"
#include "net/HttpTransfer.h"
#include "net/ProxyRules.h"

#include <chrono>

namespace zynsign {

namespace {

class CFetch : public CHttpTransfer {
  public:
    CFetch(FetchKind kind, uint64_t limit) : CHttpTransfer(limit), m_kind(kind) {}

    bool Start(const std::string& url) {
        return BeginTransfer(url, {zyn::ReadProxyRules(sys::ReadProxySetting()), ""});
    }
    std::string Failure() const {
        if (!GetFailure().empty())
            return GetFailure();
        const std::string& reason = Reply().GetFailure();
        if (!reason.empty())
            return reason;
        return Reply().GetStatus() == 0 ? "no reply" : "the reply was cut short";
    }

    bool m_bEnded = false;
    FetchResult m_result;

  protected:
    std::string BuildRequest(const zyn::HttpUrl& url,
                             const zyn::RequestContext& context) const override {
        return m_kind == FetchKind::State ? zyn::BuildStateRequest(url, context)
                                          : zyn::BuildDownloadRequest(url, context);
    }
    bool OnBodyBytes(std::string_view bytes) override {
        m_result.body.append(bytes);
        return true;
    }
    void OnTransferEnd(bool complete) override {
        m_bEnded = true;
        m_result.complete = complete;
    }

  private:
    const FetchKind m_kind;
};

} // namespace

FetchResult Fetch(const std::string& url, FetchKind kind, uint64_t limit) {
    AfxSocketInit();
    CFetch transfer(kind, limit);
    if (!transfer.Start(url)) {
        transfer.m_result.failure = "cannot connect (a name that does not resolve?)";
        return transfer.m_result;
    }
    using Clock = std::chrono::steady_clock;
    const auto tick = std::chrono::milliseconds(CHttpTransfer::kTickMs);
    auto nextTick = Clock::now() + tick;
    while (!transfer.m_bEnded) {
        AfxPumpEvents(CHttpTransfer::kTickMs, [&] { return transfer.m_bEnded; });
        for (; !transfer.m_bEnded && Clock::now() >= nextTick; nextTick += tick)
            transfer.OnIdleTick();
    }
    if (!transfer.m_result.complete)
        transfer.m_result.failure = transfer.Failure();
    return transfer.m_result;
}

} // namespace zynsign
