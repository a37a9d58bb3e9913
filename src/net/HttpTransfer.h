// One HTTP(S) GET over the event-driven socket, for the state retrieval and the downloads: the
// connection (direct, through a proxy, or tunnelled through one for TLS), the request, the reply,
// redirections, the stall limit. Each kind supplies its request, the body's use and its end.
#pragma once

#include "framework/AsyncSocket.h"
#include "framework/TlsChannel.h"
#include "net/HttpReplyReader.h"
#include "net/HttpRequest.h"
#include "net/HttpUrl.h"
#include "net/ProxyRules.h"
#include "net/TransferPace.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zyn {
// What the launch gives each transfer: the proxies for its URLs and the version its requests
// name.
struct TransferSettings {
    ProxyRules proxies;
    std::string launcherVersion;
};
} // namespace zyn

class CHttpTransfer : public CAsyncSocket {
  public:
    // Progress is measured in ticks of a coarse periodic window timer that the owner runs while
    // a transfer is under way, on the one event loop like every other timer, rather than by a
    // deadline re-armed on every block received: a block only adds to a count, and a tick
    // compares counts (TransferPace), so a fast transfer costs the loop nothing. The measures
    // start with the connection (and again with each redirection's), and their limits hold to
    // within one tick.
    static constexpr unsigned kTickMs = 1000;
    static constexpr int kMaxRedirections = 5;

    ~CHttpTransfer() override = default;

    // One tick of the owner's timer. A transfer that fails here reports it as it would from a
    // notification: it may be gone when this returns.
    void OnIdleTick();
    // From a successful start to its end: only then can a notification still report something.
    bool IsUnderWay() const { return m_bUnderWay; }
    // Why the transfer failed where the reply cannot tell: the server's certificate or TLS, the
    // proxy's answer to CONNECT, a refused redirection. Empty otherwise.
    const std::string& GetFailure() const { return m_strFailure; }

  protected:
    explicit CHttpTransfer(uint64_t bodyLimit) : m_nBodyLimit(bodyLimit) {}

    // Opens a connection for the GET of `url`, through the proxy that the settings give for it;
    // each call is a new attempt, with redirections counted anew.
    // False when it fails at once (not an http:// or https:// URL, no socket): nothing is
    // reported then. A name that does not resolve fails later, through OnTransferEnd, as any
    // failed connect does.
    bool BeginTransfer(const std::string& url, const zyn::TransferSettings& settings);

    virtual std::string BuildRequest(const zyn::HttpUrl& url,
                                     const zyn::RequestContext& context) const = 0;
    // A 2xx reply's body is about to arrive; false refuses it (the transfer fails).
    virtual bool OnBodyStart() { return true; }
    // Body bytes with the framing undone, in order; false fails the transfer.
    virtual bool OnBodyBytes(std::string_view bytes) = 0;
    // The transfer's end, reported once and as the last thing it does: the whole body has
    // arrived, or the transfer failed. The object may be destroyed in this call.
    virtual void OnTransferEnd(bool complete) = 0;
    // "URL: GetFailure()", just before the end of a transfer that has such a failure: for the
    // window's trace.
    virtual void OnFailureNote(const std::string& text) { (void)text; }

    const zyn::HttpReplyReader& Reply() const { return *m_reader; }
    const zyn::TransferSettings& Settings() const { return m_settings; }

    void OnConnect(int errorCode) override;
    void OnSend(int errorCode) override;
    void OnReceive(int errorCode) override;
    void OnClose(int errorCode) override;

  private:
    bool OpenConnection(const std::string& url);
    // Sends what is left of m_strPlain in the clear.
    void SendPlain();
    void StartTls();
    void ReadPlain();
    void ReadTunnelReply();
    void ReadTls();
    // False once the transfer has ended (the object may be gone) or moved to a new connection.
    bool TakeBlock(std::string_view block);
    bool FollowRedirection();
    bool EndTransfer(bool complete);
    bool FailTransfer(std::string reason);

    const uint64_t m_nBodyLimit;
    zyn::TransferSettings m_settings;
    std::string m_strCurrentUrl; // of the connection under way: redirections resolve against it
    std::optional<zyn::HttpReplyReader> m_reader;
    std::string m_strRequest;
    // Bytes that go out in the clear: the GET of an http:// URL, or the CONNECT of a tunnel.
    std::string m_strPlain;
    size_t m_nSent = 0;
    std::string m_strTlsHost; // the server's name, for an https:// URL; else empty
    std::string m_strProxy;   // "host:port" of the proxy this connection goes through, if any
    bool m_bTunnel = false;   // TLS through that proxy, inside a CONNECT tunnel
    // The proxy's answer to CONNECT, while it is awaited.
    std::optional<zyn::HttpReplyReader> m_tunnelReply;
    std::unique_ptr<CTlsChannel> m_tls;
    std::string m_strFailure;
    int m_nRedirections = 0;
    bool m_bUnderWay = false;
    bool m_bBodyStarted = false;
    zyn::TransferPace m_pace; // of the current connection
    std::vector<char> m_buffer;
};
