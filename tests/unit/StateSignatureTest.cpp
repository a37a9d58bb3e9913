// Which fetched states may replace the one on disk, the signature line and the trust entries.
#include "config/StateSignature.h"
#include "TrustVectors.h"
#include "config/StateBody.h"
#include "config/TrustEntries.h"
#include "config/TrustedKeys.h"
#include "formats/PublicKeyPem.h"

#include <gtest/gtest.h>

namespace {

sys::P256PublicKey KeyOf(const char* pem) {
    return formats::ParseP256PublicKeys(pem).keys[0];
}

std::string Body(const std::string& text) {
    return std::string(zyn::kStateMarker) + "\n" + text;
}

std::string Flipped(std::string text, size_t at) {
    text[at] ^= 1;
    return text;
}

TEST(StateSignature, AFetchedStateIsAcceptedOnlyWhenSignedCurrentAndNotOlder) {
    using enum zyn::StateVerdict;
    const sys::P256PublicKey a = KeyOf(kPublicKeyA), b = KeyOf(kPublicKeyB);
    const std::vector<sys::P256PublicKey> none, onlyA{a}, onlyB{b}, bThenA{b, a};
    const std::string good = Body(kSigned_full);
    const size_t signatureAt = good.rfind("ZynSignature=") + 13;
    const int64_t now = 1700000000, expires = 2000000000;
    const struct {
        const char* name;
        std::string body;
        const std::vector<sys::P256PublicKey>& keys;
        std::optional<uint64_t> serialOnDisk;
        int64_t now;
        zyn::StateVerdict verdict;
    } cases[] = {
        {"no key takes even an altered state", Flipped(good, 30), none, 9, now, Accepted},
        {"good, nothing on disk", good, onlyA, std::nullopt, now, Accepted},
        {"good, one of several keys", good, bThenA, 6, now, Accepted},
        {"a byte of the body altered", Flipped(good, 30), onlyA, 6, now, BadSignature},
        {"a byte of the signature altered", Flipped(good, signatureAt + 4), onlyA, 6, now,
         BadSignature},
        {"signed by another key", good, onlyB, 6, now, BadSignature},
        {"the serial on disk higher", good, onlyA, 8, now, OlderSerial},
        {"the serial on disk equal", good, onlyA, 7, now, Accepted},
        {"the last second before expiry", good, onlyA, 6, expires, Accepted},
        {"expired", good, onlyA, 6, expires + 1, Expired},
        {"no serial entry", Body(kSigned_noserial), onlyA, std::nullopt, now, NoSerial},
        {"no expiry entry", Body(kSigned_noexpiry), onlyA, 6, now, NoExpiry},
        {"a malformed digest entry", Body(kSigned_baddigest), onlyA, 6, now, MalformedEntry},
        {"no signature line", good.substr(0, signatureAt - 13), onlyA, 6, now, Unsigned},
        {"a line after the signature", good + "ZynOrbitalServer=evil;\n", onlyA, 6, now, Unsigned},
        {"the marker ended by CR LF", "ZYN_XSERVER_CONFIG;\r\n" + std::string(kSigned_full), onlyA,
         6, now, Unsigned},
    };
    for (const auto& c : cases)
        EXPECT_EQ(zyn::JudgeStateBody(c.body, c.keys, c.serialOnDisk, c.now), c.verdict) << c.name;
}

TEST(StateSignature, TheSignatureLineMustBeExactlyTheLastLine) {
    const std::string text = kSigned_full;
    const size_t line = text.rfind("ZynSignature=");
    std::string_view signedBytes;
    sys::P256Signature signature;
    ASSERT_TRUE(zyn::SplitSignedText(text, signedBytes, signature));
    EXPECT_EQ(signedBytes, text.substr(0, line));
    EXPECT_EQ(zyn::SignatureLine(signature), text.substr(line)) << "written as it is read";

    const std::string value = text.substr(line + 13, 88);
    // No LF, CR LF, a blank after it, four bytes short, three bytes more.
    for (const std::string& last :
         {value + ";", value + ";\r\n", value + "; \n", value.substr(4) + ";\n", value + "AAAA;\n"})
        EXPECT_FALSE(zyn::SplitSignedText(text.substr(0, line) + "ZynSignature=" + last,
                                          signedBytes, signature))
            << last;
    EXPECT_EQ(zyn::WithoutSignatureLines("a=1;\nZynSignature=x;\nb=2;\n ZynSignature=y;"),
              "a=1;\nb=2;\n");
}

TEST(StateSignature, AStateFileAsInstalledGivesTheSignedTextBack) {
    const std::string text = std::string("cr\rinside=1;\nalready\r\nended=2;\n") + kSigned_full;
    std::string file;
    ASSERT_TRUE(zyn::RewriteStateBody(Body(text), file));
    EXPECT_EQ(zyn::StateTextOfFile(file), text);
    ASSERT_TRUE(zyn::RewriteStateBody(Body(kSigned_full), file));
    const std::vector<sys::P256PublicKey> keys{KeyOf(kPublicKeyA)};
    EXPECT_EQ(zyn::JudgeStateText(zyn::StateTextOfFile(file), keys, 7, 0),
              zyn::StateVerdict::Accepted);
    EXPECT_EQ(zyn::SerialOfStateFile(file), 7u);
}

TEST(TrustEntries, OnlyWellFormedValuesCount) {
    const std::string hex = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
    const zyn::TrustEntries good = zyn::ReadTrustEntries(
        "ZynDigest=a.exe;18446744073709551615;" + hex + ";\nZynSerial=5; a comment\n" +
        "ZynExpires=9223372036854775807;\nZynDigest=a.exe;3;" + hex + ";\n");
    EXPECT_EQ(good.malformed, "");
    EXPECT_EQ(good.serial, 5u);
    EXPECT_EQ(good.expires, INT64_MAX);
    ASSERT_NE(good.FindDigest("a.exe"), nullptr);
    EXPECT_EQ(good.FindDigest("a.exe")->size, 3u) << "the later entry wins";
    EXPECT_EQ(good.FindDigest("b.exe"), nullptr);
    EXPECT_EQ(zyn::ReadTrustEntries(zyn::DigestLine(good.digests[0]) + "\n").digests[0].size,
              UINT64_MAX);

    for (const std::string& line : {
             "ZynDigest=a.exe;3;" + hex.substr(1) + ";",          // 63 digits
             "ZynDigest=a.exe;3;BA" + hex.substr(2) + ";",        // upper case
             "ZynDigest=a.exe;18446744073709551616;" + hex + ";", // beyond 64 bits
             "ZynDigest=a.exe;-1;" + hex + ";",                   // a sign
             "ZynDigest=a.exe;;" + hex + ";",                     // no size
             "ZynDigest=;3;" + hex + ";",                         // no name
             "ZynDigest=a.exe;3;" + hex,                          // no closing ';'
             "ZynDigest=a.exe;3;" + hex + ";x;",                  // a field more
             std::string("ZynSerial=7"),                          // no ';' at all
             std::string("ZynSerial=+7;"),                        // a sign
             std::string("ZynExpires=9223372036854775808;"),      // beyond a signed 64 bits
         }) {
        const zyn::TrustEntries entries = zyn::ReadTrustEntries(line + "\n");
        EXPECT_EQ(entries.malformed, line);
        EXPECT_TRUE(entries.digests.empty() && !entries.serial && !entries.expires) << line;
    }
}

TEST(TrustedKeys, TheBuildCompilesTheKeysOfItsFileIn) {
    // The unit tests are built with key A as their one trusted key.
    ASSERT_EQ(zyn::TrustedKeys().size(), 1u);
    EXPECT_EQ(zyn::TrustedKeys()[0], KeyOf(kPublicKeyA));
}

} // namespace
