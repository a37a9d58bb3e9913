// zynSign: the operator's tool that makes a key pair, lists the digests of component files,
// and signs and checks a system state. What is signed and how the entries read are the
// launcher's own rules, taken from its code.
#include "Signer.h"

#include "PublicKeyPem.h"
#include "System.h"
#include "config/TrustEntries.h"
#include "net/StateBody.h"
#include "net/StateSignature.h"

#include <cstdio>
#include <ctime>
#include <vector>

namespace {

int Fail(const std::string& message) {
    std::fprintf(stderr, "zynSign: %s\n", message.c_str());
    return 1;
}

std::string UtcTime(int64_t seconds) {
    const time_t time = static_cast<time_t>(seconds);
    struct tm parts;
    char text[32] = "?";
    if (gmtime_r(&time, &parts))
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &parts);
    return text;
}

std::string Describe(const zyn::TrustEntries& entries) {
    return "serial " + std::to_string(*entries.serial) + ", expires " + UtcTime(*entries.expires);
}

int KeyGen(const std::string& privateFile) {
    const std::string publicFile = privateFile + ".pub";
    std::string error, pem;
    if (!zynsign::GenerateKey(privateFile, publicFile, error))
        return Fail(error);
    // The launcher's build reads the public key with its own parser: prove it can.
    if (!sys::ReadWholeFile(publicFile, pem) || sys::ParseP256PublicKeys(pem).count != 1)
        return Fail(publicFile + " is not a key the launcher reads");
    std::printf("%s: the private key, keep it secret\n%s: the public key, for the launcher's "
                "ZYN_TRUSTED_KEYS\n",
                privateFile.c_str(), publicFile.c_str());
    return 0;
}

int Sign(const std::string& keyFile, const std::string& stateFile) {
    std::string error, body;
    zynsign::PrivateKey key;
    if (!zynsign::LoadPrivateKey(keyFile, key, error))
        return Fail(error);
    std::string_view text;
    if (!sys::ReadWholeFile(stateFile, body))
        return Fail("cannot read " + stateFile);
    if (!zyn::StateTextOfBody(body, text))
        return Fail(stateFile + " does not begin with the line " + zyn::kStateMarker);
    if (text.find("\r\n") != std::string_view::npos)
        return Fail(stateFile + " has CR LF line ends; sign it as it is served, with LF");
    const std::string unsignedText = zyn::WithoutSignatureLines(text);
    if (!unsignedText.empty() && unsignedText.back() != '\n')
        return Fail(stateFile + ": its last line has no line end");
    const zyn::TrustEntries entries = zyn::ReadTrustEntries(unsignedText);
    if (!entries.malformed.empty())
        return Fail(stateFile + ": cannot read the entry " + entries.malformed);
    if (!entries.serial || !entries.expires)
        return Fail(stateFile + " needs a ZynSerial and a ZynExpires entry");

    sys::P256Signature signature;
    if (!zynsign::Sign(key, unsignedText, signature))
        return Fail("libcrypto could not sign");
    const std::string signedBody =
        body.substr(0, body.size() - text.size()) + unsignedText + zyn::SignatureLine(signature);
    // The launcher's own decision, before anything is written.
    const zyn::StateVerdict verdict = zyn::JudgeStateBody(signedBody, std::span(&key.point, 1),
                                                          std::nullopt, sys::CalendarTime());
    if (verdict != zyn::StateVerdict::Accepted)
        return Fail(std::string("a launcher would refuse it: ") + zyn::StateVerdictText(verdict));
    if (!sys::WriteWholeFile(stateFile, signedBody))
        return Fail("cannot write " + stateFile);
    std::printf("%s: signed, %s\n", stateFile.c_str(), Describe(entries).c_str());
    return 0;
}

int Digest(const std::vector<std::string>& files) {
    for (const std::string& name : files) {
        FILE* file = std::fopen(name.c_str(), "rb");
        if (!file)
            return Fail("cannot open " + name);
        zyn::DigestEntry entry;
        entry.fileName = name.substr(name.rfind('/') + 1);
        sys::Sha256 hash;
        std::vector<char> block(1 << 16);
        size_t got;
        while ((got = std::fread(block.data(), 1, block.size(), file)) > 0) {
            hash.Update(block.data(), got);
            entry.size += got;
        }
        const bool readAll = !std::ferror(file);
        std::fclose(file);
        if (!readAll || !hash.Final(entry.sha256))
            return Fail("cannot read " + name);
        std::printf("%s\n", zyn::DigestLine(entry).c_str());
    }
    return 0;
}

int Verify(const std::string& keyFile, const std::string& stateFile) {
    std::string pem, contents;
    if (!sys::ReadWholeFile(keyFile, pem))
        return Fail("cannot read " + keyFile);
    const sys::PublicKeyList keys = sys::ParseP256PublicKeys(pem);
    if (!keys.ok || keys.count == 0)
        return Fail(keyFile + " holds no P-256 public key, or something else besides");
    if (!sys::ReadWholeFile(stateFile, contents))
        return Fail("cannot read " + stateFile);
    // Either as a server serves it, or as a launcher installed it.
    std::string_view served;
    const std::string text = zyn::StateTextOfBody(contents, served)
                                 ? std::string(served)
                                 : zyn::StateTextOfFile(contents);
    const zyn::StateVerdict verdict = zyn::JudgeStateText(
        text, std::span(keys.keys.data(), keys.count), std::nullopt, sys::CalendarTime());
    if (verdict != zyn::StateVerdict::Accepted)
        return Fail(stateFile + " refused: " + zyn::StateVerdictText(verdict));
    std::printf("%s: good signature, %s\n", stateFile.c_str(),
                Describe(zyn::ReadTrustEntries(text)).c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const std::string command = args.empty() ? "" : args[0];
    if (command == "keygen" && args.size() == 2)
        return KeyGen(args[1]);
    if (command == "sign" && args.size() == 3)
        return Sign(args[1], args[2]);
    if (command == "digest" && args.size() >= 2)
        return Digest({args.begin() + 1, args.end()});
    if (command == "verify" && args.size() == 3)
        return Verify(args[1], args[2]);
    std::fprintf(stderr, "usage: zynSign keygen <private key file>\n"
                         "       zynSign sign <private key file> <state file>\n"
                         "       zynSign digest <file>...\n"
                         "       zynSign verify <public key file> <state file>\n");
    return 2;
}
