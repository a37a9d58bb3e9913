// Fuzzes the HTTP reply reader with whole replies cut into blocks. The first input byte picks
// the body limit, the end of the connection, a header padded near 64 KiB and a reply to CONNECT;
// the second where the blocks are cut; the rest is the reply. Promises are marked "Promise".
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
    std::string body, location;
    bool hasLength;
    uint64_t length;
    bool operator==(const Outcome&) const = default;
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
        // Promise: the body comes as views into the block just fed.
        Require(piece.data() >= block.data() &&
                piece.data() + piece.size() <= block.data() + block.size());
        body += piece;
    }
    // Promise: a reply that has ended (or whose peer talks on after the end) takes nothing more.
    if (HasEnded(before))
        Require(reader.GetState() == before && reader.GetBodyBytes() == bytesBefore &&
                body.size() == bodyBefore);
    // Promise: never beyond the limit or the announced length, and counted as handed on.
    Require(body.size() <= limit && (!reader.HasLength() || body.size() <= reader.GetLength()));
    Require(reader.GetState() == State::Failed || body.size() == reader.GetBodyBytes());
}

// Reads `reply` in blocks cut at positions drawn from `cut`: 0 gives one-byte blocks, 255 one
// block, anything else blocks of 1 to `cut` bytes.
Outcome Read(const std::string& reply, uint64_t limit, bool clean, uint8_t cut,
             HttpReplyReader::Request request) {
    HttpReplyReader reader(limit, request);
    std::string body;
    uint32_t random = cut * 2654435761u + 1;
    for (size_t at = 0, size; at < reply.size(); at += size) {
        random = random * 1103515245u + 12345u;
        size = std::min<size_t>(reply.size() - at, cut == 255 ? reply.size()
                                                   : cut == 0 ? 1
                                                              : 1 + (random >> 16) % cut);
        FeedChecked(reader, reply.substr(at, size), limit, body);
    }
    const State fed = reader.GetState();
    reader.FeedEnd(clean);
    Require(!HasEnded(fed) || reader.GetState() == fed);
    FeedChecked(reader, "HTTP/1.1 200 OK\r\n\r\nmore", limit, body);
    // Promise: a continued file's range gives a total beyond the bytes already there.
    std::string range;
    uint64_t total = 0;
    for (uint64_t from : {uint64_t(0), uint64_t(1000)})
        if (reader.FindHeader("Content-Range", range) && zyn::ReadResumedRange(range, from, total))
            Require(total > from);
    // Promise: the validator sent back in a later request holds no byte that could end its line.
    const std::string validator = zyn::ReplyValidator(reader);
    Require(validator.empty() || zyn::IsUsableValidator(validator));
    // Promise: only a 2xx reply completes, and a redirection has no body.
    const State state = reader.GetState();
    Require(state != State::Complete || (reader.GetStatus() >= 200 && reader.GetStatus() <= 299));
    Require(state != State::Redirect || body.empty());
    // Promise: a CONNECT's reply is a header alone.
    Require(request != HttpReplyReader::Request::Connect ||
            (body.empty() && state != State::Redirect));
    if (state == State::Failed)
        return {state, reader.GetStatus(), "", "", false, 0};
    return {state,
            reader.GetStatus(),
            body,
            reader.GetLocation(),
            reader.HasLength(),
            reader.GetLength()};
}

const uint64_t kLimits[] = {HttpReplyReader::kNoBodyLimit, 0, 1, 17, 1000, 1024 * 1024};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const uint8_t options = data[0];
    const uint64_t limit = kLimits[(options & 7) % std::size(kLimits)];
    std::string reply = InputText(data + 2, size - 2);
    // A filler field after the status line brings the header close to its limit; it makes each
    // run slow, so only one value of the high bits asks for it.
    const size_t lineEnd = reply.find('\n');
    if ((options >> 4 & 7) == 5)
        reply.insert(lineEnd == reply.npos ? reply.size() : lineEnd + 1,
                     "X-Filler: " + std::string(HttpReplyReader::kHeaderLimit - 100, 'f') + "\r\n");
    const auto request =
        options & 0x80 ? HttpReplyReader::Request::Connect : HttpReplyReader::Request::Get;
    // Promise: the outcome is the same however the reply is cut.
    Require(Read(reply, limit, options & 8, 255, request) ==
            Read(reply, limit, options & 8, data[1], request));
    return 0;
}
