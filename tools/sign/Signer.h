// What the operator's signing needs from libcrypto: P-256 keys made and read (in the clear or
// encrypted with a passphrase), and signatures made in the raw r||s form that the launcher
// checks.
#pragma once

#include "Passphrase.h"
#include "framework/Crypto.h"
#include "framework/posix/LibCrypto.h"

#include <string>
#include <string_view>

namespace zynsign {

// A P-256 private key, with its public point.
struct PrivateKey {
    sys::libcrypto::Key key;
    sys::P256PublicKey point{};
};

// Makes a new key in memory.
bool MakeKey(PrivateKey& key);
// Makes a P-256 key pair: the private key goes to `privateFile` (readable by its owner only,
// never over an existing file), encrypted with AES-256 when a passphrase is given, the public
// key to `publicFile`, as "openssl ec -pubout" would write it. On failure `error` says why.
bool GenerateKey(const std::string& privateFile, const std::string& publicFile,
                 const std::string* passphrase, std::string& error);

// Reads a P-256 private key from its PEM file; an encrypted one asks `source` for its
// passphrase.
bool LoadPrivateKey(const std::string& file, const PassphraseSource& source, PrivateKey& key,
                    std::string& error);

// An ECDSA signature with SHA-256 over `message`, as r||s.
bool Sign(const PrivateKey& key, std::string_view message, sys::P256Signature& signature);

} // namespace zynsign
