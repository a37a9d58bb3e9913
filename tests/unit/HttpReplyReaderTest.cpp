// The HTTP reply reader: status, header fields, body framing and limits, whatever the blocks.
#include "net/HttpReplyReader.h"

#include <gtest/gtest.h>

using zyn::HttpReplyReader;
using State = HttpReplyReader::State;

namespace {

const size_t kBlockSizes[] = {1, 2, 7, 100000};

// Feeds `reply` in blocks of `blockSize`, each a copy that dies after the call as a receive
// buffer is reused, and returns the body pieces joined.
std::string Feed(HttpReplyReader& reader, const std::string& reply, size_t blockSize) {
    std::string body;
    for (size_t at = 0; at < reply.size(); at += blockSize) {
        const std::string block = reply.substr(at, blockSize);
        for (std::string_view piece : reader.Feed(block))
            body += piece;
    }
    return body;
}

// A reply whose header, the status line included, is `size` bytes long.
std::string WithHeaderOf(size_t size) {
    const std::string start = "HTTP/1.1 200 OK\r\nX-Pad: ", end = "\r\nContent-Length: 2\r\n\r\n";
    return start + std::string(size - start.size() - end.size(), 'p') + end + "ok";
}

enum End { Open, Clean, Broken }; // the connection once the reply is fed

TEST(HttpReplyReader, BodiesComeOutFramedOrFailTheSameWhateverTheBlockSizes) {
    const std::string body = "ZYN_XSERVER_CONFIG;\nline\r\n";
    const struct {
        std::string reply;
        End end;
        State state;
        std::string body;
        bool cutShort = false;
    } cases[] = {
        // Framed, with surplus of a peer that keeps talking, in HTTP/1.0, after an interim reply.
        {"HTTP/1.1 200 OK\r\ncontent-LENGTH: 26\r\nContent-Type: text/xml\r\n\r\n" + body +
             "surplus",
         Open, State::Complete, body},
        {"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.0 200 OK\nContent-Length:26\n"
         "Content-Encoding: Identity\n\n" +
             body,
         Open, State::Complete, body},
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\nContent-Length: 3\r\n\r\n"
         "5;name=value\r\nZYN_X\r\n0000000000015 \r\nSERVER_CONFIG;\nline\r\n\r\n"
         "0\r\nX-Trailer: 1\r\n\r\nsurplus",
         Open, State::Complete, body},
        {"HTTP/1.1 200 OK\nTransfer-Encoding: chunked\n\n1a\n" + body + "\n0\n\n", Open,
         State::Complete, body},
        // Lengths are 64-bit, and the body ends only there.
        {"HTTP/1.1 200 OK\r\nContent-Length: 5000000000\r\n\r\nabc", Open, State::Body, "abc"},
        {"HTTP/1.1 200 OK\r\nContent-Length: 5000000000\r\n\r\nabc", Clean, State::Failed, "abc",
         true},
        // An unframed body ends only at a clean close.
        {"HTTP/1.0 200 OK\r\n\r\nall of it", Clean, State::Complete, "all of it"},
        {"HTTP/1.0 200 OK\r\n\r\nall of it", Broken, State::Failed, "all of it", true},
        // A header of 64 KiB passes, one byte more fails, and so does one that never ends.
        {WithHeaderOf(65536), Open, State::Complete, "ok"},
        {WithHeaderOf(65537), Open, State::Failed, ""},
        {"HTTP/1.1 200 OK\r\n" + std::string(70000, 'x'), Open, State::Failed, ""},
    };
    for (const auto& c : cases)
        for (size_t size : kBlockSizes) {
            HttpReplyReader reader;
            EXPECT_EQ(Feed(reader, c.reply, size), c.body) << c.reply.substr(0, 80) << size;
            if (c.end != Open)
                reader.FeedEnd(c.end == Clean);
            EXPECT_EQ(reader.GetState(), c.state) << c.reply.substr(0, 80) << size;
            EXPECT_EQ(reader.IsCutShort(), c.cutShort) << c.reply.substr(0, 80) << size;
            if (c.state == State::Complete) {
                EXPECT_EQ(std::pair(reader.GetStatus(), reader.GetBodyBytes()),
                          std::pair(200, uint64_t{c.body.size()}));
            }
        }
}

TEST(HttpReplyReader, RepliesThatAreNoUsableBodyFailWithoutBodyBytes) {
    const char* replies[] = {
        "HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found",
        "HTTP/1.1 301 Moved\r\n\r\n",
        "HTTP/1.1 302 Found\r\nLocation: \r\n\r\n",
        "HTTP/1.1 101 Switching Protocols\r\n\r\n",
        "SSH-2.0-OpenSSH\r\n\r\nbody",
        "HTTP/1.1 200 OK\r\nContent-Length: 4\r\nContent-Length: 5\r\n\r\nbody",
        "HTTP/1.1 200 OK\r\nContent-Length: -4\r\n\r\nbody",
        "HTTP/1.1 200 OK\r\nContent-Length 4\r\n\r\nbody",
        "HTTP/1.1 200 OK\r\n folded: 4\r\n\r\nbody",
        "HTTP/1.1 200 OK\r\nContent Length: 4\r\n\r\nbody",
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, chunked\r\n\r\n4\r\nbody\r\n0\r\n\r\n",
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nx4\r\nbody\r\n0\r\n\r\n",
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4\r\nbody!\r\n0\r\n\r\n",
        "HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: 4\r\n\r\nbody",
        "HTTP/1.1 206 Partial\r\ncontent-encoding: identity\r\nContent-Encoding: br\r\n\r\nbody",
    };
    for (const char* reply : replies) {
        HttpReplyReader reader;
        EXPECT_EQ(Feed(reader, reply, 100000), "") << reply;
        EXPECT_EQ(reader.GetState(), State::Failed) << reply;
        EXPECT_FALSE(reader.IsCutShort()) << reply;
    }
    // A chunk that runs past its size, after a sound block: broken, not cut short.
    HttpReplyReader reader;
    reader.Feed("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4\r\nbody");
    reader.Feed("more\r\n0\r\n\r\n");
    EXPECT_EQ(reader.GetState(), State::Failed);
    EXPECT_FALSE(reader.IsCutShort());
}

TEST(HttpReplyReader, FieldsAreFoundWhateverTheirCaseAndRedirectionsGiveTheirLocation) {
    HttpReplyReader reader;
    Feed(reader,
         "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nX-Folded: one\r\n  two \r\n\tthree\r\n"
         "Content-Length: 5000000000\r\nX-Empty:\r\n more\r\n\r\n",
         3);
    std::string type, folded, empty;
    EXPECT_TRUE(reader.FindHeader("CONTENT-type", type) && reader.FindHeader("x-folded", folded) &&
                reader.FindHeader("X-Empty", empty));
    EXPECT_EQ(type + "|" + folded + "|" + empty, "text/xml|one two three|more");
    EXPECT_TRUE(reader.HasLength());
    EXPECT_EQ(reader.GetLength(), 5000000000u);
    for (int status : {301, 302, 303, 307, 308}) {
        HttpReplyReader redirect;
        EXPECT_EQ(Feed(redirect,
                       "HTTP/1.1 " + std::to_string(status) +
                           " Moved\r\nLOCATION: ../zyn/x\r\nContent-Length: 5\r\n\r\nmoved",
                       9),
                  "");
        EXPECT_EQ(redirect.GetState(), State::Redirect);
        EXPECT_EQ(redirect.GetLocation(), "../zyn/x");
    }
}

TEST(HttpReplyReader, BodyLimitIsNeverPassed) {
    const std::string replies[] = {
        "HTTP/1.1 200 OK\r\nContent-Length: 11\r\n\r\n",
        "HTTP/1.1 200 OK\r\n\r\n0123456789" + std::string(100, 'x'),
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n6\r\n012345\r\n6\r\n6789xx\r\n",
    };
    for (const std::string& reply : replies)
        for (size_t size : kBlockSizes) {
            HttpReplyReader reader(10);
            EXPECT_LE(Feed(reader, reply, size).size(), 10u);
            EXPECT_EQ(reader.GetState(), State::Failed) << reply << size;
        }
}

TEST(HttpReplyReader, AConnectReplyIsAHeaderAloneThatOnlyA2xxCompletes) {
    const std::pair<std::string, std::string> replies[] = {
        // the reply, why it fails
        {"HTTP/1.1 200 Connection established\r\n\r\n", ""},
        {"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.0 200 OK\r\nTransfer-Encoding: chunked\r\n"
         "Content-Length: 5\r\n\r\n",
         ""},
        {"HTTP/1.1 407 Proxy Authentication Required\r\nContent-Length: 4\r\n\r\ndeny",
         "status 407"},
        {"HTTP/1.1 302 Found\r\nLocation: https://elsewhere/\r\n\r\n", "status 302"},
    };
    for (const auto& [reply, failure] : replies)
        for (size_t size : kBlockSizes) {
            HttpReplyReader reader(HttpReplyReader::kNoBodyLimit,
                                   HttpReplyReader::Request::Connect);
            EXPECT_EQ(Feed(reader, reply, size), "");
            EXPECT_EQ(reader.GetState(), failure.empty() ? State::Complete : State::Failed);
            EXPECT_EQ(reader.GetFailure(), failure);
        }
}

} // namespace
