// zynSign, the operator's tool: key pairs, a release published as the served tree, a state or
// a served tree checked as launchers see it, and the single steps; every rule it applies is the
// launcher's own.
#include "Publish.h"
#include "Release.h"
#include "ServedState.h"
#include "Signer.h"

#include "config/StateBody.h"
#include "config/StateSignature.h"
#include "config/TrustEntries.h"
#include "formats/PublicKeyPem.h"
#include "framework/System.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

namespace {

constexpr const char* kUsage =
    "usage: zynSign keygen [--encrypt] [--passphrase-env NAME] <private key file>\n"
    "       zynSign publish <private key file> <release folder> <output folder>\n"
    "               --platform windows|linux [--expires DURATION] [--serial N]\n"
    "               [--passphrase-env NAME]\n"
    "       zynSign verify <public key file> <state file | http(s):// URL of a served state>\n"
    "       zynSign sign [--passphrase-env NAME] <private key file> <state file>\n"
    "       zynSign digest <file>...\n"
    "\n"
    "keygen writes the private key to the file and the public key to the file with \".pub\"\n"
    "added; --encrypt protects the private key with a passphrase asked on the terminal.\n"
    "--passphrase-env NAME takes the passphrase from the environment variable NAME instead.\n"
    "publish writes clientgetconfig.php and the components of the release folder (which\n"
    "holds them and zynRelease.txt) into the output folder, replacing it whole; DURATION is\n"
    "the state's lifetime: 30d (the default), 12h, 90m. The format: docs/system-state.md.\n"
    "Exit status: 0 done, 1 refused or failed (standard error says why), 2 wrong usage.\n";

int Fail(const std::string& message) {
    std::fprintf(stderr, "zynSign: %s\n", message.c_str());
    return 1;
}

int Usage(const std::string& problem) {
    std::fprintf(stderr, "zynSign: %s\n%s", problem.c_str(), kUsage);
    return 2;
}

struct Arguments {
    std::vector<std::string> words;             // the command and its operands
    std::map<std::string, std::string> options; // by name, "" for a flag
    std::string error;
};

Arguments ReadArguments(const std::vector<std::string>& args) {
    const std::map<std::string, bool> known{{"--encrypt", false}, {"--passphrase-env", true},
                                            {"--platform", true}, {"--expires", true},
                                            {"--serial", true},   {"--help", false}};
    Arguments read;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
            read.words.push_back(arg);
        } else if (!known.count(arg)) {
            read.error = "unknown option " + arg;
        } else if (known.at(arg) && i + 1 == args.size()) {
            read.error = arg + " needs a value";
        } else {
            read.options[arg] = known.at(arg) ? args[++i] : "";
        }
    }
    return read;
}

int KeyGen(const std::string& privateFile, const Arguments& args) {
    const std::string publicFile = privateFile + ".pub";
    std::string error, pem, passphrase;
    const bool encrypt = args.options.count("--encrypt") || args.options.count("--passphrase-env");
    if (encrypt &&
        !zynsign::GetPassphrase(
            {args.options.count("--passphrase-env") ? args.options.at("--passphrase-env") : ""},
            privateFile, true, passphrase, error))
        return Fail(error);
    if (!zynsign::GenerateKey(privateFile, publicFile, encrypt ? &passphrase : nullptr, error))
        return Fail(error);
    // The launcher's build reads the public key with its own parser: prove it can.
    if (!sys::ReadWholeFile(publicFile, pem) || formats::ParseP256PublicKeys(pem).count != 1)
        return Fail(publicFile + " is not a key the launcher reads");
    std::printf("%s: the private key%s, keep it secret\n%s: the public key, for the launcher's "
                "ZYN_TRUSTED_KEYS\n",
                privateFile.c_str(), encrypt ? " (encrypted)" : "", publicFile.c_str());
    return 0;
}

int Sign(const std::string& keyFile, const std::string& stateFile,
         const zynsign::PassphraseSource& passphrase) {
    std::string error, raw, changes;
    zynsign::PrivateKey key;
    if (!zynsign::LoadPrivateKey(keyFile, passphrase, key, error))
        return Fail(error);
    if (!sys::ReadWholeFile(stateFile, raw))
        return Fail("cannot read " + stateFile);
    // Saved by an editor on Windows, it is signed as it is to be served.
    const std::string body = zynsign::NormaliseOperatorText(raw, changes);
    std::string_view text;
    if (!zyn::StateTextOfBody(body, text))
        return Fail(stateFile + " does not begin with the line " + zyn::kStateMarker);
    const std::string unsignedText = zyn::WithoutSignatureLines(text);
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
    std::printf("%s: signed, %s%s%s\n", stateFile.c_str(), zynsign::DescribeTrust(entries).c_str(),
                changes.empty() ? "" : "; ", changes.c_str());
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
    const formats::PublicKeyList keys = formats::ParseP256PublicKeys(pem);
    if (!keys.ok || keys.count == 0)
        return Fail(keyFile + " holds no P-256 public key, or something else besides");
    const std::span<const sys::P256PublicKey> trusted(keys.keys.data(), keys.count);
    if (stateFile.find("://") != std::string::npos)
        return zynsign::VerifyServedState(trusted, stateFile);
    if (!sys::ReadWholeFile(stateFile, contents))
        return Fail("cannot read " + stateFile);
    // Either as a server serves it, or as a launcher installed it.
    std::string_view served;
    const std::string text = zyn::StateTextOfBody(contents, served)
                                 ? std::string(served)
                                 : zyn::StateTextOfFile(contents);
    const zyn::StateVerdict verdict =
        zyn::JudgeStateText(text, trusted, std::nullopt, sys::CalendarTime());
    if (verdict != zyn::StateVerdict::Accepted)
        return Fail(stateFile + " refused: " + zyn::StateVerdictText(verdict));
    std::printf("%s: good signature, %s\n", stateFile.c_str(),
                zynsign::DescribeTrust(zyn::ReadTrustEntries(text)).c_str());
    return 0;
}

int PublishCommand(const Arguments& args) {
    zynsign::PublishRequest request;
    request.keyFile = args.words[1];
    request.releaseFolder = args.words[2];
    request.outputFolder = args.words[3];
    const auto option = [&](const char* name) {
        return args.options.count(name) ? args.options.at(name) : std::string();
    };
    const std::string platform = option("--platform");
    if (platform != "windows" && platform != "linux")
        return Usage("publish needs --platform windows or --platform linux");
    request.platform =
        platform == "windows" ? zynsign::Platform::Windows : zynsign::Platform::Linux;
    if (args.options.count("--expires") &&
        !zynsign::ParseDuration(option("--expires"), request.lifetime))
        return Usage("--expires takes a number of days, hours or minutes: 30d, 12h, 90m");
    if (args.options.count("--serial")) {
        zyn::TrustEntries serial = zyn::ReadTrustEntries("ZynSerial=" + option("--serial") + ";\n");
        if (!serial.serial)
            return Usage("--serial takes a whole number");
        request.serial = serial.serial;
    }
    request.passphrase.environmentVariable = option("--passphrase-env");
    return zynsign::Publish(request);
}

} // namespace

int main(int argc, char** argv) {
    const Arguments args = ReadArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (args.options.count("--help") || (args.words.size() == 1 && args.words[0] == "help")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (!args.error.empty())
        return Usage(args.error);
    const std::string command = args.words.empty() ? "" : args.words[0];
    const size_t operands = args.words.size() - (command.empty() ? 0 : 1);
    const std::map<std::string, std::vector<std::string>> allowed{
        {"keygen", {"--encrypt", "--passphrase-env"}},
        {"sign", {"--passphrase-env"}},
        {"publish", {"--platform", "--expires", "--serial", "--passphrase-env"}},
        {"digest", {}},
        {"verify", {}}};
    if (!allowed.count(command))
        return Usage(command.empty() ? "no command" : "unknown command " + command);
    for (const auto& [name, value] : args.options)
        if (std::find(allowed.at(command).begin(), allowed.at(command).end(), name) ==
            allowed.at(command).end())
            return Usage(command + " takes no " + name);
    const zynsign::PassphraseSource passphrase{
        args.options.count("--passphrase-env") ? args.options.at("--passphrase-env") : ""};
    if (command == "keygen" && operands == 1)
        return KeyGen(args.words[1], args);
    if (command == "sign" && operands == 2)
        return Sign(args.words[1], args.words[2], passphrase);
    if (command == "publish" && operands == 3)
        return PublishCommand(args);
    if (command == "digest" && operands >= 1)
        return Digest({args.words.begin() + 1, args.words.end()});
    if (command == "verify" && operands == 2)
        return Verify(args.words[1], args.words[2]);
    return Usage(command + ": wrong number of operands");
}
