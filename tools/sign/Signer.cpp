// P-256 keys and raw signatures through libcrypto, for the operator's tools.
#include "Signer.h"

#include <openssl/core_names.h>
#include <openssl/pem.h>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace zynsign {

using namespace sys::libcrypto;

namespace {

using File = Owned<FILE, fclose>;

// A new file that only its owner may read, or none when the name is taken.
File CreatePrivateFile(const std::string& name) {
    const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return nullptr;
    File file(fdopen(fd, "w"));
    if (!file)
        close(fd);
    return file;
}

bool PointOf(EVP_PKEY* key, sys::P256PublicKey& point) {
    char group[32] = {};
    size_t length = 0;
    return EVP_PKEY_is_a(key, "EC") &&
           EVP_PKEY_get_utf8_string_param(key, OSSL_PKEY_PARAM_GROUP_NAME, group, sizeof group,
                                          nullptr) == 1 &&
           std::string_view(group) == "prime256v1" &&
           EVP_PKEY_get_octet_string_param(key, OSSL_PKEY_PARAM_PUB_KEY, point.data(), point.size(),
                                           &length) == 1 &&
           length == point.size() && point[0] == 0x04;
}

} // namespace

bool MakeKey(PrivateKey& key) {
    key.key.reset(EVP_EC_gen("P-256"));
    return key.key && PointOf(key.key.get(), key.point);
}

bool GenerateKey(const std::string& privateFile, const std::string& publicFile,
                 const std::string* passphrase, std::string& error) {
    PrivateKey made;
    if (!MakeKey(made)) {
        error = "libcrypto made no key";
        return false;
    }
    File privateOut = CreatePrivateFile(privateFile);
    if (!privateOut) {
        error = "cannot create " + privateFile + " (it must not exist yet)";
        return false;
    }
    const auto* secret =
        passphrase ? reinterpret_cast<const unsigned char*>(passphrase->data()) : nullptr;
    if (PEM_write_PrivateKey(
            privateOut.get(), made.key.get(), passphrase ? EVP_aes_256_cbc() : nullptr, secret,
            passphrase ? static_cast<int>(passphrase->size()) : 0, nullptr, nullptr) != 1 ||
        fclose(privateOut.release()) != 0) {
        error = "cannot write " + privateFile;
        return false;
    }
    File publicOut(fopen(publicFile.c_str(), "w"));
    if (!publicOut || PEM_write_PUBKEY(publicOut.get(), made.key.get()) != 1 ||
        fclose(publicOut.release()) != 0) {
        error = "cannot write " + publicFile;
        return false;
    }
    return true;
}

bool LoadPrivateKey(const std::string& file, const PassphraseSource& source, PrivateKey& key,
                    std::string& error) {
    File in(fopen(file.c_str(), "r"));
    if (!in) {
        error = "cannot open " + file;
        return false;
    }
    struct Request {
        const PassphraseSource& source;
        const std::string& file;
        std::string passphrase;
        bool asked = false;
        bool given = false;
        std::string error;
    } request{source, file, {}, false, false, {}};
    // Called by libcrypto only for an encrypted key, perhaps more than once.
    const auto answer = [](char* buffer, int size, int, void* data) -> int {
        auto& request = *static_cast<Request*>(data);
        if (!request.asked) {
            request.asked = true;
            request.given = GetPassphrase(request.source, request.file, false, request.passphrase,
                                          request.error);
        }
        if (!request.given || request.passphrase.size() > static_cast<size_t>(size))
            return -1;
        request.passphrase.copy(buffer, request.passphrase.size());
        return static_cast<int>(request.passphrase.size());
    };
    key.key.reset(PEM_read_PrivateKey(in.get(), nullptr, answer, &request));
    if (request.asked && !request.given)
        error = request.error;
    else if (request.asked && !key.key)
        error = "cannot decrypt " + file + ": wrong passphrase";
    else if (!key.key || !PointOf(key.key.get(), key.point))
        error = file + " holds no P-256 private key";
    else
        return true;
    return false;
}

bool Sign(const PrivateKey& key, std::string_view message, sys::P256Signature& signature) {
    MdContext context(EVP_MD_CTX_new());
    size_t length = 0;
    if (!context ||
        EVP_DigestSignInit(context.get(), nullptr, EVP_sha256(), nullptr, key.key.get()) != 1 ||
        EVP_DigestSign(context.get(), nullptr, &length,
                       reinterpret_cast<const unsigned char*>(message.data()), message.size()) != 1)
        return false;
    std::vector<unsigned char> der(length);
    if (EVP_DigestSign(context.get(), der.data(), &length,
                       reinterpret_cast<const unsigned char*>(message.data()), message.size()) != 1)
        return false;
    const unsigned char* in = der.data();
    EcdsaSig sig(d2i_ECDSA_SIG(nullptr, &in, static_cast<long>(length)));
    if (!sig)
        return false;
    const BIGNUM* r = nullptr;
    const BIGNUM* s = nullptr;
    ECDSA_SIG_get0(sig.get(), &r, &s);
    return BN_bn2binpad(r, signature.data(), 32) == 32 &&
           BN_bn2binpad(s, signature.data() + 32, 32) == 32;
}

} // namespace zynsign
