// The platform's cryptography behind two small calls: an incremental SHA-256 and the check of
// an ECDSA P-256 signature made with SHA-256. Nothing here is computed by our own code; each
// backend hands the bytes to the system's library (CNG on Windows, libcrypto on Linux).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace sys {

inline constexpr size_t kSha256Size = 32;
using Sha256Digest = std::array<uint8_t, kSha256Size>;
// A public key as the uncompressed curve point: 0x04, then X and Y, 32 bytes each.
using P256PublicKey = std::array<uint8_t, 65>;
// A signature in its raw form: r, then s, 32 big-endian bytes each.
using P256Signature = std::array<uint8_t, 64>;

// Fed any number of blocks, so that a file or a download is hashed as its bytes come and never
// needs to be held whole.
class Sha256 {
  public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void Update(const void* data, size_t size);
    void Update(std::string_view data) { Update(data.data(), data.size()); }
    // The digest of every byte given so far. False when the platform failed at any step, and
    // then `digest` means nothing. Either way the hash is spent: later calls fail.
    bool Final(Sha256Digest& digest);

  private:
    struct State;
    std::unique_ptr<State> m_state; // gone after a failure or Final
};

// True only when `signature` is a valid signature by `key` over the SHA-256 of `message`.
// A key that is not a point of the curve verifies nothing.
bool VerifyP256Sha256(const P256PublicKey& key, std::string_view message,
                      const P256Signature& signature);

} // namespace sys
