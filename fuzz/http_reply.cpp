// Fuzzes the HTTP reply reader with whole replies cut into blocks. The first input byte picks
// the body limit, the end of the connection, whether a header of nearly 64 KiB is padded in and
// whether the reply answers a CONNECT; the second drives where the blocks are cut; the rest is the
// reply. Besides memory faults it checks the reader's promises: the body comes out the same however
// the reply is cut, never beyond its announced length or the limit, only from a 2xx reply, and a
// reply that has ended takes nothing more, and a CONNECT's reply is never more than a header. A
// Content-Range field goes through the reader of a continued file's range, which must give a total
// beyond the bytes already there, and the validator taken from the fields must be fit for a
// request.
#include "FuzzCheck.h"
#include "net/ContentRange.h"
#include "net/HttpReplyReader.h"

#include <algorithm>

using zyn::HttpReplyReader;
using State = HttpReplyReader::State;

namespace {

struct Outcome {
    State state;
    int status;
    std::string body;
    bool hasLength;
    uint64_t length;
    std::string location;
};

// Cuts the reply at positions drawn from `cut`: 0 gives one-byte blocks, 255 one block,
// anything else blocks of 1 to `cut` bytes.
class Cutter {
  public:
    explicit Cutter(uint8_t cut) : m_cut(cut), m_random(cut * 2654435761u + 1) {}
    size_t Next(size_t left) {
        if (m_cut == 255)
            return left;
        m_random = m_random * 1103515245u + 12345u;
        return std::min<size_t>(left, m_cut == 0 ? 1 : 1 + (m_random >> 16) % m_cut);
    }

  private:
    const uint8_t m_cut;
    uint32_t m_random;
};

bool HasEnded(State state) {
    return state != State::Header && state != State::Body;
}

void FeedChecked(HttpReplyReader& reader, const std::string& bytes, uint64_t limit,
                 std::string& body) {
    // A copy per block that dies after the call, as a receive buffer is reused.
    const std::string block = bytes;
    const State before = reader.GetState();
    const uint64_t bytesBefore = reader.GetBodyBytes();
    const size_t bodyBefore = body.size();
    for (std::string_view piece : reader.Feed(block)) {
        Require(piece.data() >= block.data() &&
                piece.data() + piece.size() <= block.data() + block.size());
        body += piece;
    }
    if (HasEnded(before))
        Require(reader.GetState() == before && reader.GetBodyBytes() == bytesBefore &&
                body.size() == bodyBefore);
    Require(body.size() <= limit);
    if (reader.HasLength())
        Require(body.size() <= reader.GetLength());
    if (reader.GetState() != State::Failed)
        Require(body.size() == reader.GetBodyBytes());
}

Outcome Read(const std::string& reply, uint64_t limit, bool clean, uint8_t cut,
             HttpReplyReader::Request request) {
    HttpReplyReader reader(limit, request);
    std::string body;
    Cutter cutter(cut);
    for (size_t at = 0, size; at < reply.size(); at += size) {
        size = cutter.Next(reply.size() - at);
        FeedChecked(reader, reply.substr(at, size), limit, body);
    }
    const State fed = reader.GetState();
    reader.FeedEnd(clean);
    if (HasEnded(fed))
        Require(reader.GetState() == fed);
    // A peer that goes on talking after the end changes nothing.
    FeedChecked(reader, "HTTP/1.1 200 OK\r\n\r\nmore", limit, body);
    std::string range;
    uint64_t total = 0;
    for (uint64_t from : {uint64_t(0), uint64_t(1000)})
        if (reader.FindHeader("Content-Range", range) && zyn::ReadResumedRange(range, from, total))
            Require(total > from);
    // Sent back in a later request: never a byte that could end its line.
    const std::string validator = zyn::ReplyValidator(reader);
    Require(validator.empty() || zyn::IsUsableValidator(validator));
    const State state = reader.GetState();
    if (state == State::Complete)
        Require(reader.GetStatus() >= 200 && reader.GetStatus() <= 299);
    if (state == State::Redirect)
        Require(body.empty());
    if (request == HttpReplyReader::Request::Connect)
        Require(body.empty() && state != State::Redirect);
    if (state == State::Failed)
        body.clear();
    return {state,
            reader.GetStatus(),
            body,
            reader.HasLength(),
            reader.GetLength(),
            reader.GetLocation()};
}

// A filler field that brings the header close to its limit, after the status line.
std::string PadHeader(std::string reply) {
    const size_t lineEnd = reply.find('\n');
    const size_t at = lineEnd == std::string::npos ? reply.size() : lineEnd + 1;
    return reply.insert(at, "X-Filler: " + std::string(HttpReplyReader::kHeaderLimit - 100, 'f') +
                                "\r\n");
}

const uint64_t kLimits[] = {HttpReplyReader::kNoBodyLimit, 0, 1, 17, 1000, 1024 * 1024};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const uint8_t options = data[0];
    const uint64_t limit = kLimits[(options & 7) % std::size(kLimits)];
    const bool clean = options & 8;
    const auto request =
        options & 0x80 ? HttpReplyReader::Request::Connect : HttpReplyReader::Request::Get;
    std::string reply = InputText(data + 2, size - 2);
    // Padding makes each run slow, so only one value of the next bits asks for it.
    if ((options >> 4 & 7) == 5)
        reply = PadHeader(reply);

    const Outcome whole = Read(reply, limit, clean, 255, request);
    const Outcome cut = Read(reply, limit, clean, data[1], request);
    Require(whole.state == cut.state && whole.status == cut.status);
    if (whole.state != State::Failed)
        Require(whole.body == cut.body && whole.hasLength == cut.hasLength &&
                whole.length == cut.length && whole.location == cut.location);
    return 0;
}
