// The entries that make a system state trustworthy: a component's size and SHA-256
// ("ZynDigest"), the state's serial ("ZynSerial") and expiry ("ZynExpires"), each a line of the
// state's usual format.
#pragma once

#include "framework/Crypto.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zyn {

struct DigestEntry {
    std::string fileName;
    uint64_t size = 0;
    sys::Sha256Digest sha256{};
    bool operator==(const DigestEntry&) const = default;
};

struct TrustEntries {
    std::optional<uint64_t> serial;
    std::optional<int64_t> expires; // seconds since 1970 UTC
    std::vector<DigestEntry> digests;
    // The first of these entries that could not be read, as its line stands (key, '=', value);
    // empty when every one could.
    std::string malformed;

    // The entry for a component's file, the names compared as the system compares file names;
    // the last one when the state lists several, as a later version entry wins too. Null when
    // there is none.
    const DigestEntry* FindDigest(std::string_view fileName) const;
};

// Reads the entries of a state text with LF line ends: a fetched body after its marker line,
// or a file as installed with its CR LF pairs turned back into LF. A repeated serial or expiry
// entry overrides the earlier one; a malformed entry counts as absent.
TrustEntries ReadTrustEntries(std::string_view stateText);

// The value of a digest entry, its closing ';' already cut: file name, ';', size, ';', and 64
// lower-case hex digits.
bool ParseDigestValue(std::string_view value, DigestEntry& entry);
// The whole line for `entry`, without a line end.
std::string DigestLine(const DigestEntry& entry);

} // namespace zyn
