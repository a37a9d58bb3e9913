// Reads one HTTP/1.x reply from the blocks of a connection, as they arrive.
#include "net/HttpReplyReader.h"

#include "formats/AsciiCase.h"

#include <algorithm>

namespace zyn {

namespace {

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// "HTTP/1.x NNN" followed by the end of the line or a blank and a reason.
int ParseStatusLine(std::string_view line) {
    if (line.size() < 12 || line.substr(0, 7) != "HTTP/1." || !IsDigit(line[7]) || line[8] != ' ' ||
        !IsDigit(line[9]) || !IsDigit(line[10]) || !IsDigit(line[11]) ||
        (line.size() > 12 && line[12] != ' '))
        return 0;
    return (line[9] - '0') * 100 + (line[10] - '0') * 10 + (line[11] - '0');
}

// Decimal digits only, and few enough that the value stays far below 2^63.
bool ParseLength(std::string_view text, uint64_t& length) {
    if (text.empty() || text.size() > 18 || !std::all_of(text.begin(), text.end(), IsDigit))
        return false;
    length = 0;
    for (char c : text)
        length = length * 10 + static_cast<uint64_t>(c - '0');
    return true;
}

// Where the blank line that ends a header ends, searching from `from`; npos while it has not
// arrived. Lines may end in CR LF or in a bare LF.
size_t FindHeaderEnd(const std::string& head, size_t from) {
    for (size_t lf = head.find('\n', from); lf != std::string::npos; lf = head.find('\n', lf + 1)) {
        if (lf + 1 < head.size() && head[lf + 1] == '\n')
            return lf + 2;
        if (lf + 2 < head.size() && head[lf + 1] == '\r' && head[lf + 2] == '\n')
            return lf + 3;
    }
    return std::string::npos;
}

bool IsRedirection(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

} // namespace

const std::vector<std::string_view>& HttpReplyReader::Feed(std::string_view block) {
    m_pieces.clear();
    while (!block.empty() && (m_state == State::Header || m_state == State::Body)) {
        if (m_state == State::Header)
            ReadHeader(block);
        else
            ReadBody(block);
    }
    return m_pieces;
}

void HttpReplyReader::FeedEnd(bool clean) {
    if (m_state == State::Header)
        Fail("closed before the header ended");
    else if (m_state == State::Body && m_mode == BodyMode::UntilClose && clean)
        m_state = State::Complete;
    else if (m_state == State::Body) {
        Fail(clean ? "closed before the body ended" : "connection broken during the body");
        m_cutShort = true;
    }
}

bool HttpReplyReader::FindHeader(std::string_view name, std::string& value) const {
    for (const auto& [fieldName, fieldValue] : m_fields) {
        if (formats::EqualsNoCase(fieldName, name)) {
            value = fieldValue;
            return true;
        }
    }
    return false;
}

void HttpReplyReader::Fail(std::string reason) {
    m_state = State::Failed;
    m_failure = std::move(reason);
    m_pieces.clear();
}

void HttpReplyReader::ReadHeader(std::string_view& block) {
    const size_t before = m_head.size();
    // Never more than one byte past the limit is kept, however large the block.
    const size_t room = kHeaderLimit + 1 - m_headerBytes - before;
    m_head.append(block.substr(0, std::min(room, block.size())));
    const size_t end = FindHeaderEnd(m_head, before < 2 ? 0 : before - 2);
    if (end == std::string::npos) {
        block.remove_prefix(m_head.size() - before);
        if (m_headerBytes + m_head.size() > kHeaderLimit)
            Fail("header over 64 KiB");
        return;
    }
    block.remove_prefix(end - before);
    m_head.resize(end);
    m_headerBytes += end;
    if (m_headerBytes > kHeaderLimit)
        return Fail("header over 64 KiB");
    if (!ParseHead())
        return;
    m_head.clear();
    // Interim replies (100 Continue and the like) go before the real one.
    if (m_status >= 100 && m_status < 200 && m_status != 101) {
        m_status = 0;
        m_fields.clear();
        return;
    }
    StartBody();
}

bool HttpReplyReader::ParseHead() {
    std::string_view rest(m_head);
    bool first = true;
    while (!rest.empty()) {
        const size_t lf = rest.find('\n');
        std::string_view line = rest.substr(0, lf);
        rest.remove_prefix(lf + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (first) {
            first = false;
            m_status = ParseStatusLine(line);
            if (!m_status) {
                Fail("not an HTTP/1.x status line");
                return false;
            }
            continue;
        }
        if (line.empty())
            break;
        // A line that starts with a blank continues the field before it (obs-fold): a user
        // agent joins the two with a space (RFC 9112 section 5.2).
        if (line[0] == ' ' || line[0] == '\t') {
            if (m_fields.empty()) {
                Fail("folded line before any header field");
                return false;
            }
            const std::string_view more = TrimBlanks(line);
            std::string& value = m_fields.back().second;
            if (!more.empty())
                value.append(value.empty() ? "" : " ").append(more);
            continue;
        }
        const size_t colon = line.find(':');
        // Blanks before the colon are taken away, as curl does; a name with a blank inside is
        // none.
        const std::string_view name = TrimBlanks(line.substr(0, colon));
        if (colon == std::string_view::npos || name.empty() ||
            name.find_first_of(" \t") != std::string_view::npos) {
            Fail("malformed header field");
            return false;
        }
        m_fields.emplace_back(name, TrimBlanks(line.substr(colon + 1)));
    }
    return true;
}

void HttpReplyReader::StartBody() {
    std::string value;
    if (m_request == Request::Connect) {
        if (m_status < 200 || m_status > 299)
            return Fail("status " + std::to_string(m_status));
        m_state = State::Complete;
        return;
    }
    if (IsRedirection(m_status)) {
        if (!FindHeader("Location", value) || value.empty())
            return Fail("redirection without a location");
        m_location = value;
        m_state = State::Redirect;
        return;
    }
    if (m_status < 200 || m_status > 299)
        return Fail("status " + std::to_string(m_status));
    // Nothing here undoes a content coding, and a server may send one however it is asked: a
    // coded body would be taken for the file itself.
    for (const auto& [name, fieldValue] : m_fields) {
        if (formats::EqualsNoCase(name, "Content-Encoding") && !fieldValue.empty() &&
            !formats::EqualsNoCase(fieldValue, "identity"))
            return Fail("unsupported content coding");
    }
    m_state = State::Body;
    if (FindHeader("Transfer-Encoding", value)) {
        if (!formats::EqualsNoCase(value, "chunked"))
            return Fail("unsupported transfer coding");
        m_mode = BodyMode::Chunked;
        return;
    }
    bool announced = false;
    for (const auto& [name, fieldValue] : m_fields) {
        if (!formats::EqualsNoCase(name, "Content-Length"))
            continue;
        uint64_t length = 0;
        // Two differing lengths leave the body's end open to either reading.
        if (!ParseLength(fieldValue, length) || (announced && length != m_length))
            return Fail("bad Content-Length");
        m_length = length;
        announced = true;
    }
    if (!announced) {
        if (m_status == 204)
            m_state = State::Complete;
        else
            m_mode = BodyMode::UntilClose;
        return;
    }
    m_mode = BodyMode::Length;
    if (m_length > m_bodyLimit)
        return Fail("body over the limit");
    if (!m_length)
        m_state = State::Complete;
}

void HttpReplyReader::ReadBody(std::string_view& block) {
    const size_t first = m_pieces.size();
    if (m_mode == BodyMode::Length) {
        const uint64_t left = m_length - m_bodyBytes;
        m_pieces.push_back(
            block.substr(0, static_cast<size_t>(std::min<uint64_t>(left, block.size()))));
        block = {};
    } else if (m_mode == BodyMode::UntilClose) {
        m_pieces.push_back(block);
        block = {};
    } else {
        const ChunkedBody::Result result = m_chunked.Read(block, m_pieces);
        if (result == ChunkedBody::Result::Bad)
            return Fail("bad chunked coding");
        if (result == ChunkedBody::Result::Done) {
            m_state = State::Complete;
            block = {};
        }
    }
    for (size_t i = first; i < m_pieces.size(); ++i)
        m_bodyBytes += m_pieces[i].size();
    if (m_bodyBytes > m_bodyLimit)
        return Fail("body over the limit");
    if (m_mode == BodyMode::Length && m_bodyBytes == m_length)
        m_state = State::Complete;
}

} // namespace zyn
