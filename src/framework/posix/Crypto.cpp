// SHA-256 and ECDSA P-256 verification on Linux, through libcrypto: the raw point imported as
// a key of the named curve and r||s turned into the DER form libcrypto checks.
#include "framework/Crypto.h"

#include "framework/posix/LibCrypto.h"

#include <openssl/core_names.h>
#include <openssl/params.h>

#include <vector>

namespace sys {

namespace {

using namespace libcrypto;

Key ImportPoint(const P256PublicKey& point) {
    KeyContext context(EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr));
    if (!context || EVP_PKEY_fromdata_init(context.get()) != 1)
        return nullptr;
    // The parameters take mutable buffers, though nothing writes to them.
    char group[] = "prime256v1";
    P256PublicKey bytes = point;
    OSSL_PARAM params[] = {
        OSSL_PARAM_construct_utf8_string(OSSL_PKEY_PARAM_GROUP_NAME, group, 0),
        OSSL_PARAM_construct_octet_string(OSSL_PKEY_PARAM_PUB_KEY, bytes.data(), bytes.size()),
        OSSL_PARAM_construct_end()};
    EVP_PKEY* key = nullptr;
    if (EVP_PKEY_fromdata(context.get(), &key, EVP_PKEY_PUBLIC_KEY, params) != 1)
        return nullptr;
    return Key(key);
}

std::vector<unsigned char> ToDer(const P256Signature& signature) {
    EcdsaSig sig(ECDSA_SIG_new());
    BigNumber r(BN_bin2bn(signature.data(), 32, nullptr));
    BigNumber s(BN_bin2bn(signature.data() + 32, 32, nullptr));
    if (!sig || !r || !s || ECDSA_SIG_set0(sig.get(), r.get(), s.get()) != 1)
        return {};
    r.release(); // owned by sig now
    s.release();
    const int length = i2d_ECDSA_SIG(sig.get(), nullptr);
    if (length <= 0)
        return {};
    std::vector<unsigned char> der(static_cast<size_t>(length));
    unsigned char* out = der.data();
    if (i2d_ECDSA_SIG(sig.get(), &out) != length)
        return {};
    return der;
}

} // namespace

struct Sha256::State {
    MdContext context;
};

Sha256::Sha256() {
    MdContext context(EVP_MD_CTX_new());
    if (context && EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) == 1)
        m_state.reset(new State{std::move(context)});
}

Sha256::~Sha256() = default;

void Sha256::Update(const void* data, size_t size) {
    if (m_state && EVP_DigestUpdate(m_state->context.get(), data, size) != 1)
        m_state.reset();
}

bool Sha256::Final(Sha256Digest& digest) {
    const std::unique_ptr<State> state = std::move(m_state);
    unsigned int length = 0;
    return state && EVP_DigestFinal_ex(state->context.get(), digest.data(), &length) == 1 &&
           length == digest.size();
}

bool VerifyP256Sha256(const P256PublicKey& key, std::string_view message,
                      const P256Signature& signature) {
    const Key publicKey = ImportPoint(key);
    const std::vector<unsigned char> der = ToDer(signature);
    MdContext context(EVP_MD_CTX_new());
    if (!publicKey || der.empty() || !context ||
        EVP_DigestVerifyInit(context.get(), nullptr, EVP_sha256(), nullptr, publicKey.get()) != 1)
        return false;
    return EVP_DigestVerify(context.get(), der.data(), der.size(),
                            reinterpret_cast<const unsigned char*>(message.data()),
                            message.size()) == 1;
}

} // namespace sys
