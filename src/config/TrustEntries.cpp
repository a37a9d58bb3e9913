// The trust entries of a system state: read strictly, since a value that only looks like a
// number must not pass for one in a check that guards what gets installed.
#include "config/TrustEntries.h"

#include "config/SettingLines.h"
#include "config/SystemStateFile.h"
#include "framework/System.h"

#include <limits>

namespace zyn {

namespace {

constexpr std::string_view kHexDigits = "0123456789abcdef";

// One or more decimal digits and nothing else, within 64 bits.
bool ParseDecimal(std::string_view text, uint64_t& value) {
    if (text.empty())
        return false;
    uint64_t result = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        const uint64_t digit = static_cast<uint64_t>(c - '0');
        if (result > (std::numeric_limits<uint64_t>::max() - digit) / 10)
            return false;
        result = result * 10 + digit;
    }
    value = result;
    return true;
}

bool ParseHexDigest(std::string_view text, sys::Sha256Digest& digest) {
    if (text.size() != 2 * digest.size())
        return false;
    for (size_t i = 0; i < digest.size(); ++i) {
        const size_t high = kHexDigits.find(text[2 * i]);
        const size_t low = kHexDigits.find(text[2 * i + 1]);
        if (high == std::string_view::npos || low == std::string_view::npos)
            return false;
        digest[i] = static_cast<uint8_t>(high << 4 | low);
    }
    return true;
}

} // namespace

const DigestEntry* TrustEntries::FindDigest(std::string_view fileName) const {
    for (auto it = digests.rbegin(); it != digests.rend(); ++it)
        if (sys::SameFileName(it->fileName, fileName))
            return &*it;
    return nullptr;
}

bool ParseDigestValue(std::string_view value, DigestEntry& entry) {
    const size_t first = value.find(';');
    const size_t second = first == std::string_view::npos ? first : value.find(';', first + 1);
    if (first == 0 || second == std::string_view::npos ||
        value.find(';', second + 1) != std::string_view::npos)
        return false;
    DigestEntry parsed;
    parsed.fileName = std::string(value.substr(0, first));
    if (!ParseDecimal(value.substr(first + 1, second - first - 1), parsed.size) ||
        !ParseHexDigest(value.substr(second + 1), parsed.sha256))
        return false;
    entry = std::move(parsed);
    return true;
}

std::string DigestLine(const DigestEntry& entry) {
    std::string line = "ZynDigest=" + entry.fileName + ";" + std::to_string(entry.size) + ";";
    for (uint8_t byte : entry.sha256) {
        line += kHexDigits[byte >> 4];
        line += kHexDigits[byte & 15];
    }
    return line + ";";
}

TrustEntries ReadTrustEntries(std::string_view stateText) {
    TrustEntries entries;
    for (const SettingLine& line : ReadSettingLines(stateText, "\n")) {
        const bool digest = line.key == "ZynDigest";
        const bool serial = line.key == "ZynSerial";
        const bool expires = line.key == "ZynExpires";
        if (!digest && !serial && !expires)
            continue;
        // The value ends at its last ';', as every value of the state does.
        const std::string value = SystemStateValue(line.value);
        DigestEntry entry;
        uint64_t number = 0;
        bool ok = false;
        if (digest) {
            if ((ok = ParseDigestValue(value, entry)))
                entries.digests.push_back(std::move(entry));
        } else if (serial) {
            if ((ok = ParseDecimal(value, number)))
                entries.serial = number;
        } else if ((ok = ParseDecimal(value, number) &&
                         number <= uint64_t(std::numeric_limits<int64_t>::max()))) {
            entries.expires = static_cast<int64_t>(number);
        }
        if (!ok && entries.malformed.empty())
            entries.malformed = line.key + "=" + line.value;
    }
    return entries;
}

} // namespace zyn
