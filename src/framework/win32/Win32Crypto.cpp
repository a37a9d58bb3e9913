// SHA-256 and ECDSA P-256 verification on Windows, through CNG: the raw point imported as a
// BCRYPT_ECCPUBLIC_BLOB and r||s, CNG's own signature form, checked against the message's hash.
#include "framework/Crypto.h"

#include "framework/win32/WinApi.h"

#include <bcrypt.h>

#include <cstring>
#include <vector>

namespace sys {

namespace {

struct Provider {
    BCRYPT_ALG_HANDLE handle = nullptr;
    explicit Provider(LPCWSTR algorithm) {
        if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&handle, algorithm, nullptr, 0)))
            handle = nullptr;
    }
    ~Provider() {
        if (handle)
            BCryptCloseAlgorithmProvider(handle, 0);
    }
    Provider(const Provider&) = delete;
    Provider& operator=(const Provider&) = delete;
};

struct HashHandle {
    BCRYPT_HASH_HANDLE handle = nullptr;
    ~HashHandle() {
        if (handle)
            BCryptDestroyHash(handle);
    }
};

struct KeyHandle {
    BCRYPT_KEY_HANDLE handle = nullptr;
    ~KeyHandle() {
        if (handle)
            BCryptDestroyKey(handle);
    }
};

} // namespace

struct Sha256::State {
    Provider provider{BCRYPT_SHA256_ALGORITHM};
    HashHandle hash;
};

Sha256::Sha256() : m_state(new State) {
    if (!m_state->provider.handle ||
        !BCRYPT_SUCCESS(BCryptCreateHash(m_state->provider.handle, &m_state->hash.handle, nullptr,
                                         0, nullptr, 0, 0))) {
        m_state->hash.handle = nullptr;
        m_state.reset();
    }
}

Sha256::~Sha256() = default;

void Sha256::Update(const void* data, size_t size) {
    // CNG counts in 32 bits: larger blocks go in pieces.
    const UCHAR* bytes = static_cast<const UCHAR*>(data);
    while (m_state && size > 0) {
        const ULONG piece = size > 0x40000000 ? 0x40000000 : static_cast<ULONG>(size);
        if (!BCRYPT_SUCCESS(
                BCryptHashData(m_state->hash.handle, const_cast<PUCHAR>(bytes), piece, 0)))
            m_state.reset();
        bytes += piece;
        size -= piece;
    }
}

bool Sha256::Final(Sha256Digest& digest) {
    const std::unique_ptr<State> state = std::move(m_state);
    return state && BCRYPT_SUCCESS(BCryptFinishHash(state->hash.handle, digest.data(),
                                                    static_cast<ULONG>(digest.size()), 0));
}

bool VerifyP256Sha256(const P256PublicKey& key, std::string_view message,
                      const P256Signature& signature) {
    Sha256 hash;
    hash.Update(message);
    Sha256Digest digest;
    if (key[0] != 0x04 || !hash.Final(digest))
        return false;
    Provider provider(BCRYPT_ECDSA_P256_ALGORITHM);
    if (!provider.handle)
        return false;
    // The blob is the header and then X and Y, without the point's leading 0x04.
    std::vector<UCHAR> blob(sizeof(BCRYPT_ECCKEY_BLOB) + key.size() - 1);
    const BCRYPT_ECCKEY_BLOB header = {BCRYPT_ECDSA_PUBLIC_P256_MAGIC, 32};
    std::memcpy(blob.data(), &header, sizeof header);
    std::memcpy(blob.data() + sizeof header, key.data() + 1, key.size() - 1);
    KeyHandle imported;
    if (!BCRYPT_SUCCESS(BCryptImportKeyPair(provider.handle, nullptr, BCRYPT_ECCPUBLIC_BLOB,
                                            &imported.handle, blob.data(),
                                            static_cast<ULONG>(blob.size()), 0))) {
        imported.handle = nullptr;
        return false;
    }
    P256Signature sig = signature; // CNG takes mutable buffers, though nothing writes to them
    return BCRYPT_SUCCESS(BCryptVerifySignature(imported.handle, nullptr, digest.data(),
                                                static_cast<ULONG>(digest.size()), sig.data(),
                                                static_cast<ULONG>(sig.size()), 0));
}

} // namespace sys
