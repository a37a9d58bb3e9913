// A system state's signature and whether a fetched state may replace the one on disk. The
// signature covers every byte after the marker line's LF up to the signature line, its last; a
// file as installed gives the same text back with its CR LF pairs made LF again.
#pragma once

#include "framework/Crypto.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace zyn {

inline constexpr std::string_view kSignatureKey = "ZynSignature";

// The state text of a fetched body. False when the body does not begin with the marker and
// an LF right after it, the only form whose file turns back into the signed bytes.
bool StateTextOfBody(std::string_view body, std::string_view& text);
// The state text of a file as installed: every CR LF back to LF, which undoes the rewrite into
// the file exactly.
std::string StateTextOfFile(std::string_view fileText);

// Splits a state text into the bytes that its last line signs and that line's signature. The
// last line must be exactly "ZynSignature=", the base64 of r||s, ";" and an LF.
bool SplitSignedText(std::string_view text, std::string_view& signedBytes,
                     sys::P256Signature& signature);
// The last line that SplitSignedText reads, LF included.
std::string SignatureLine(const sys::P256Signature& signature);
// The text without its signature lines, wherever they stand, for signing afresh.
std::string WithoutSignatureLines(std::string_view text);

enum class StateVerdict {
    Accepted,
    Unsigned,       // no signature line where it belongs
    BadSignature,   // verified by none of the trusted keys
    MalformedEntry, // a serial, expiry or digest entry that cannot be read
    NoSerial,
    OlderSerial,  // lower than the serial of the state on disk
    ReusedSerial, // the serial of the state on disk, on other bytes
    NoExpiry,
    Expired,
};
const char* StateVerdictText(StateVerdict verdict);

// Whether a state text may replace the state on disk. Without trusted keys every state may,
// signed or not. With keys, its signature must verify with one of them, and then its own
// entries must hold a serial not lower than `serialOnDisk` (none: any serial will do) and an
// expiry time not before `now`. An equal serial is taken only for the very text of the state
// on disk (`installedText`, when known): one serial names one state. A signed state without a
// serial or an expiry is refused: a state that never expires could be replayed for ever, and one
// without a serial would undo any later one.
StateVerdict JudgeStateText(std::string_view text, std::span<const sys::P256PublicKey> keys,
                            std::optional<uint64_t> serialOnDisk, int64_t now,
                            std::optional<std::string_view> installedText = std::nullopt);
// The same for a fetched body, marker line first. Without keys it accepts any body: whether
// the body is a system state at all is the rewrite's decision.
StateVerdict JudgeStateBody(std::string_view body, std::span<const sys::P256PublicKey> keys,
                            std::optional<uint64_t> serialOnDisk, int64_t now,
                            std::optional<std::string_view> installedText = std::nullopt);
// The serial of a state file as installed; none when it lists no readable one.
std::optional<uint64_t> SerialOfStateFile(std::string_view fileText);

} // namespace zyn
