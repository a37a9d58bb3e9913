// The HTTP reply reader: status, header fields, body framing and limits, whatever the blocks.
#include "net/HttpReplyReader.h"

#include <gtest/gtest.h>

using zyn::HttpReplyReader;
using State = HttpReplyReader::State;

namespace {

// Feeds `reply` in blocks of `blockSize` and returns the body pieces joined.
std::string FeedInBlocks(HttpReplyReader& reader, const std::string& reply, size_t blockSize) {
    std::string body;
    for (size_t at = 0; at < reply.size(); at += blockSize) {
        // Each block is a copy that dies after the call, as a receive buffer is reused.
        const std::string block = reply.substr(at, blockSize);
        for (std::string_view piece : reader.Feed(block))
            body += piece;
    }
    return body;
}

const size_t kBlockSizes[] = {1, 2, 7, 100000};

} // namespace

TEST(HttpReplyReader, FramedBodiesComeOutTheSameWhateverTheBlockSizes) {
    const std::string body = "ZYN_XSERVER_CONFIG;\nline\r\n";
    const std::string replies[] = {
        "HTTP/1.1 200 OK\r\ncontent-LENGTH: 26\r\nContent-Type: text/xml\r\n\r\n" + body +
            "surplus of a peer that keeps talking",
        "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.0 200 OK\nContent-Length:26\n"
        "Content-Encoding: Identity\n\n" +
            body,
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\nContent-Length: 3\r\n\r\n"
        "5;name=value\r\nZYN_X\r\n0000000000015 \r\nSERVER_CONFIG;\nline\r\n\r\n"
        "0\r\nX-Trailer: 1\r\n\r\nsurplus",
        "HTTP/1.1 200 OK\nTransfer-Encoding: chunked\n\n1a\n" + body + "\n0\n\n",
    };
    for (const std::string& reply : replies) {
        for (size_t size : kBlockSizes) {
            HttpReplyReader reader;
            EXPECT_EQ(FeedInBlocks(reader, reply, size), body) << reply << size;
            EXPECT_EQ(reader.GetState(), State::Complete) << reply << size;
            EXPECT_EQ(reader.GetStatus(), 200);
            EXPECT_EQ(reader.GetBodyBytes(), body.size());
        }
    }
    HttpReplyReader reader;
    FeedInBlocks(reader, replies[0], 3);
    std::string type;
    EXPECT_TRUE(reader.FindHeader("CONTENT-type", type));
    EXPECT_EQ(type, "text/xml");
    EXPECT_TRUE(reader.HasLength());
}

TEST(HttpReplyReader, LengthsAre64BitAndABodyEndsThere) {
    HttpReplyReader reader;
    FeedInBlocks(reader, "HTTP/1.1 200 OK\r\nContent-Length: 5000000000\r\n\r\nabc", 100);
    EXPECT_EQ(reader.GetLength(), 5000000000u);
    EXPECT_EQ(reader.GetState(), State::Body);
    reader.FeedEnd(true);
    EXPECT_EQ(reader.GetState(), State::Failed);
    EXPECT_TRUE(reader.IsCutShort());
}

TEST(HttpReplyReader, UnframedBodyEndsOnlyAtACleanClose) {
    for (bool clean : {true, false}) {
        HttpReplyReader reader;
        EXPECT_EQ(FeedInBlocks(reader, "HTTP/1.0 200 OK\r\n\r\nall of it", 4), "all of it");
        EXPECT_EQ(reader.GetState(), State::Body);
        reader.FeedEnd(clean);
        EXPECT_EQ(reader.GetState(), clean ? State::Complete : State::Failed);
    }
}

TEST(HttpReplyReader, RedirectionsAreReportedWithTheirLocation) {
    for (int status : {301, 302, 303, 307, 308}) {
        HttpReplyReader reader;
        const std::string reply = "HTTP/1.1 " + std::to_string(status) +
                                  " Moved\r\nLOCATION: ../zyn/x\r\n"
                                  "Content-Length: 5\r\n\r\nmoved";
        EXPECT_EQ(FeedInBlocks(reader, reply, 9), "");
        EXPECT_EQ(reader.GetState(), State::Redirect);
        EXPECT_EQ(reader.GetLocation(), "../zyn/x");
    }
}

TEST(HttpReplyReader, FoldedLinesAreJoinedAndBlanksBeforeTheColonTolerated) {
    HttpReplyReader reader;
    EXPECT_EQ(FeedInBlocks(reader,
                           "HTTP/1.1 200 OK\r\nX-Folded: one\r\n  two \r\n\tthree\r\n"
                           "Content-Length : 2\r\nX-Empty:\r\n more\r\n\r\nok",
                           5),
              "ok");
    std::string folded, empty;
    EXPECT_TRUE(reader.FindHeader("x-folded", folded) && reader.FindHeader("X-Empty", empty));
    EXPECT_EQ(folded, "one two three");
    EXPECT_EQ(empty, "more");
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
        EXPECT_EQ(FeedInBlocks(reader, reply, 100000), "") << reply;
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

TEST(HttpReplyReader, HeaderOver64KiBFailsAndOneAtTheLimitPasses) {
    for (size_t size : {size_t(65536), size_t(65537)}) {
        const std::string start = "HTTP/1.1 200 OK\r\nX-Pad: ";
        const std::string end = "\r\nContent-Length: 2\r\n\r\n";
        const std::string reply =
            start + std::string(size - start.size() - end.size(), 'p') + end + "ok";
        for (size_t block : {size_t(1000), size_t(200000)}) {
            HttpReplyReader reader;
            FeedInBlocks(reader, reply, block);
            EXPECT_EQ(reader.GetState(), size == 65536 ? State::Complete : State::Failed);
        }
    }
    HttpReplyReader endless;
    FeedInBlocks(endless, "HTTP/1.1 200 OK\r\n" + std::string(70000, 'x'), 4096);
    EXPECT_EQ(endless.GetState(), State::Failed);
}

TEST(HttpReplyReader, BodyLimitIsNeverPassed) {
    const std::string replies[] = {
        "HTTP/1.1 200 OK\r\nContent-Length: 11\r\n\r\n",
        "HTTP/1.1 200 OK\r\n\r\n0123456789" + std::string(100, 'x'),
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n6\r\n012345\r\n6\r\n6789xx\r\n",
    };
    for (const std::string& reply : replies) {
        for (size_t size : kBlockSizes) {
            HttpReplyReader reader(10);
            EXPECT_LE(FeedInBlocks(reader, reply, size).size(), 10u);
            EXPECT_EQ(reader.GetState(), State::Failed) << reply << size;
        }
    }
}

TEST(HttpReplyReader, AConnectReplyIsAHeaderAloneThatOnlyA2xxCompletes) {
    const std::pair<std::string, std::string> replies[] = {
        {"HTTP/1.1 200 Connection established\r\n\r\n", ""},
        {"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.0 200 OK\r\nTransfer-Encoding: chunked\r\n"
         "Content-Length: 5\r\n\r\n",
         ""},
        {"HTTP/1.1 407 Proxy Authentication Required\r\nContent-Length: 4\r\n\r\ndeny",
         "status 407"},
        {"HTTP/1.1 302 Found\r\nLocation: https://elsewhere/\r\n\r\n", "status 302"},
    };
    for (const auto& [reply, failure] : replies) {
        for (size_t size : kBlockSizes) {
            HttpReplyReader reader(HttpReplyReader::kNoBodyLimit,
                                   HttpReplyReader::Request::Connect);
            EXPECT_EQ(FeedInBlocks(reader, reply, size), "");
            EXPECT_EQ(reader.GetState(), failure.empty() ? State::Complete : State::Failed);
            EXPECT_EQ(reader.GetFailure(), failure);
        }
    }
}
