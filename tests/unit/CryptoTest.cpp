// The platform's SHA-256, and public keys and certificates as the openssl command line made them.
#include "framework/Crypto.h"
#include "TestSupport.h"
#include "TrustVectors.h"
#include "formats/CertificatePem.h"
#include "formats/PublicKeyPem.h"

namespace {

TEST(Crypto, Sha256OfOneBlockAndOfAMillionBytesInOddBlocks) {
    sys::Sha256 abc, million;
    sys::Sha256Digest digest;
    abc.Update("abc");
    ASSERT_TRUE(abc.Final(digest));
    EXPECT_EQ(Hex(digest), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_FALSE(abc.Final(digest)) << "a spent hash must not answer again";
    const std::string block(997, 'a');
    for (size_t fed = 0; fed < 1000000; fed += block.size())
        million.Update(block.data(), std::min(block.size(), 1000000 - fed));
    ASSERT_TRUE(million.Final(digest));
    EXPECT_EQ(Hex(digest), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(PublicKeyPem, OnlyP256KeysWithTheirPointUncompressedAreRead) {
    const std::string a = kPublicKeyA, b = kPublicKeyB;
    const formats::PublicKeyList both = formats::ParseP256PublicKeys("\n" + a + "\r\n" + b);
    ASSERT_TRUE(both.ok && both.count == 2);
    EXPECT_EQ(both.keys[1], formats::ParseP256PublicKeys(b).keys[0]);
    EXPECT_TRUE(formats::ParseP256PublicKeys("").ok) << "no key at all is a valid list";

    const std::string begin = "-----BEGIN PUBLIC KEY-----\n", end = "\n-----END PUBLIC KEY-----\n";
    const std::string keyA = a.substr(begin.size(), a.size() - begin.size() - end.size());
    const std::string refused[] = {
        // compressed point, Ed25519, P-384 (each as openssl writes it)
        "MDkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDIgADNw9wk1usOethBP/VYQ9qAvUXq27pHIqwOzezSXjVn4k=",
        "MCowBQYDK2VwAyEAf0+G4nAWpvqotrnrPsQp6i1Em9Rl0jRBrawtXCVRNpk=",
        "MHYwEAYHKoZIzj0CAQYFK4EEACIDYgAE7kg5eZ6gl4JzoQKFVU49viDAc4rCKpn1wwm/zuKLTZ/CwkAsytEDY1+v"
        "7kklSKeLJ/V8K30yqrqbB9ZP2JrMmPzAVZJEw8rPvhVoXDzoK60/OVDdYarPcvaztoYuOkZn",
        // key A cut short by one group, with a character outside the alphabet, and with bits
        // that the padding leaves over set
        keyA.substr(0, keyA.size() - 4),
        keyA.substr(0, keyA.size() - 4) + "-Q==",
        keyA.substr(0, keyA.size() - 3) + "R==",
    };
    for (const std::string& body : refused)
        EXPECT_FALSE(formats::ParseP256PublicKeys(begin + body + end).ok) << body;
    EXPECT_FALSE(formats::ParseP256PublicKeys(a + "# a comment\n").ok);
    EXPECT_FALSE(formats::ParseP256PublicKeys(a.substr(0, a.size() - 10)).ok) << "no end line";
}

TEST(CertificatePem, OnlyWholeBlocksOfOneDerSequenceEachAreRead) {
    // DER sequences of three and of 128 bytes (the long form of the length), line breaks
    // anywhere.
    const std::string begin = "-----BEGIN CERTIFICATE-----\n",
                      end = "\n-----END CERTIFICATE-----\n";
    const std::string small = begin + "MA\nMCAQE=" + end;
    const std::string large = begin + "MIGA" + std::string(168, 'A') + "\r\nAAA=" + end;
    const auto both = formats::ParsePemCertificates<1024>("\n" + small + large);
    ASSERT_TRUE(both.ok && both.count == 2);
    EXPECT_EQ(std::pair(both[0].size(), both[1].size()), std::pair(size_t{5}, size_t{131}));
    EXPECT_TRUE(formats::ParsePemCertificates<0>("").ok) << "no certificate at all is a valid list";
    // A length that claims a byte more than there is, a byte more than it claims, no sequence,
    // padding before the end, more after it, an incomplete group.
    for (const char* body :
         {"MAQCAQE=", "MAMCAQEA", "BAMCAQE=", "MAMC=AQE", "MAMCAQE=AAAA", "MAMCAQ"})
        EXPECT_FALSE((formats::ParsePemCertificates<64>(begin + body + end).ok)) << body;
    EXPECT_FALSE(formats::ParsePemCertificates<1024>(std::string(kPublicKeyA)).ok);
    EXPECT_FALSE(formats::ParsePemCertificates<64>(small.substr(0, small.size() - 5)).ok);
}

} // namespace
