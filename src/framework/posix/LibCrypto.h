// Owners for libcrypto's objects, shared by the Linux backend and the operator's tools.
#pragma once

#include <openssl/ec.h>
#include <openssl/evp.h>

#include <memory>

namespace sys::libcrypto {

template <auto Free> struct Deleter {
    template <typename T> void operator()(T* p) const { Free(p); }
};
template <typename T, auto Free> using Owned = std::unique_ptr<T, Deleter<Free>>;
using MdContext = Owned<EVP_MD_CTX, EVP_MD_CTX_free>;
using KeyContext = Owned<EVP_PKEY_CTX, EVP_PKEY_CTX_free>;
using Key = Owned<EVP_PKEY, EVP_PKEY_free>;
using EcdsaSig = Owned<ECDSA_SIG, ECDSA_SIG_free>;
using BigNumber = Owned<BIGNUM, BN_free>;

} // namespace sys::libcrypto
