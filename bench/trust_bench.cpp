// Prints what trust costs: checking a signed system state of 10,000 lines as a launcher does
// before it writes it, and the platform's SHA-256 throughput, from which the cost of a
// download's digest follows.
#include "Signer.h"

#include "config/StateBody.h"
#include "config/StateSignature.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Ten thousand lines of the kinds a state holds, a digest for every tenth.
std::string StateText() {
    std::string text = "ZynSerial=1;\nZynExpires=4000000000;\n";
    for (int i = 2; i < 9999; ++i) {
        const std::string n = std::to_string(i);
        if (i % 10 == 0)
            text += "ZynDigest=component" + n + ".dll;123456789;" + std::string(64, 'a') + ";\n";
        else
            text += "ZynOrbitalServer=orbital" + n + ".zyn.example.net:4000;\n";
    }
    return text;
}

} // namespace

int main() {
    zynsign::PrivateKey key;
    const std::string text = StateText();
    sys::P256Signature signature;
    if (!zynsign::MakeKey(key) || !zynsign::Sign(key, text, signature)) {
        std::fprintf(stderr, "trustBench: libcrypto could not make a key or sign\n");
        return 1;
    }
    const std::string body =
        std::string(zyn::kStateMarker) + "\n" + text + zyn::SignatureLine(signature);

    std::vector<double> runs;
    for (int i = 0; i < 50; ++i) {
        const Clock::time_point start = Clock::now();
        const zyn::StateVerdict verdict =
            zyn::JudgeStateBody(body, std::span(&key.point, 1), 1, 1700000000);
        runs.push_back(MillisecondsSince(start));
        if (verdict != zyn::StateVerdict::Accepted) {
            std::fprintf(stderr, "trustBench: refused: %s\n", zyn::StateVerdictText(verdict));
            return 1;
        }
    }
    std::sort(runs.begin(), runs.end());
    std::printf("signed state of 10000 lines (%zu bytes) checked: median %.2f ms, worst %.2f ms\n",
                body.size(), runs[runs.size() / 2], runs.back());

    const std::vector<char> block(64 * 1024, 'z');
    const size_t total = size_t(1) << 30;
    sys::Sha256 hash;
    const Clock::time_point start = Clock::now();
    for (size_t done = 0; done < total; done += block.size())
        hash.Update(block.data(), block.size());
    sys::Sha256Digest digest;
    if (!hash.Final(digest))
        return 1;
    const double seconds = MillisecondsSince(start) / 1000;
    std::printf("SHA-256 of 1 GiB in 64 KiB blocks: %.2f s, %.0f MB/s\n", seconds,
                total / seconds / 1e6);
    return 0;
}
