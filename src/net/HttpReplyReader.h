// Reads one HTTP/1.x reply from the blocks of a connection, as they arrive: the status, the
// header fields and the body with its framing undone, handed on block by block so that a body
// is never held whole. Nothing here touches a socket, a file or a clock.
#pragma once

#include "net/ChunkedBody.h"

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zyn {

class HttpReplyReader {
  public:
    enum class State {
        Header,   // the status line and header fields are arriving
        Body,     // a 2xx reply's body is arriving
        Complete, // the whole body has arrived
        Redirect, // a redirection: GetLocation, to resolve against the request's URL
        Failed,   // GetFailure says why; nothing more is read
    };
    // A CONNECT's reply is a header alone: a 2xx completes it (the tunnel is open, and what
    // follows is the tunnel's), anything else fails it, a redirection too.
    enum class Request { Get, Connect };
    static constexpr size_t kHeaderLimit = 64 * 1024;
    static constexpr uint64_t kNoBodyLimit = std::numeric_limits<uint64_t>::max();

    // A body longer than `bodyLimit` fails the reply.
    explicit HttpReplyReader(uint64_t bodyLimit = kNoBodyLimit, Request request = Request::Get)
        : m_bodyLimit(bodyLimit), m_request(request) {}

    // Reads the next block. The body bytes it carries come back as views into `block`, in
    // order; bytes after the end of the reply are ignored.
    const std::vector<std::string_view>& Feed(std::string_view block);
    // The peer has closed the connection, cleanly or not (a reset, an error). Only a body that
    // runs up to the close is complete by it.
    void FeedEnd(bool clean);

    State GetState() const { return m_state; }
    // The final status; 0 before it has arrived.
    int GetStatus() const { return m_status; }
    // The first field of that name, letter case aside; its value without surrounding blanks.
    bool FindHeader(std::string_view name, std::string& value) const;
    // The announced Content-Length, when the body is framed by one.
    bool HasLength() const { return m_mode == BodyMode::Length; }
    uint64_t GetLength() const { return m_length; }
    uint64_t GetBodyBytes() const { return m_bodyBytes; }
    const std::string& GetLocation() const { return m_location; }
    const std::string& GetFailure() const { return m_failure; }
    // Failed only because the connection ended inside the body: what came before is sound.
    bool IsCutShort() const { return m_cutShort; }

  private:
    enum class BodyMode { None, Length, Chunked, UntilClose };

    void ReadHeader(std::string_view& block);
    void ReadBody(std::string_view& block);
    bool ParseHead();
    void StartBody();
    void Fail(std::string reason);

    const uint64_t m_bodyLimit;
    const Request m_request;
    State m_state = State::Header;
    std::string m_head;       // the header gathered so far
    size_t m_headerBytes = 0; // of interim replies and the final header together
    int m_status = 0;
    std::vector<std::pair<std::string, std::string>> m_fields;
    BodyMode m_mode = BodyMode::None;
    uint64_t m_length = 0;
    uint64_t m_bodyBytes = 0;
    ChunkedBody m_chunked;
    std::vector<std::string_view> m_pieces;
    std::string m_location;
    std::string m_failure;
    bool m_cutShort = false;
};

} // namespace zyn
