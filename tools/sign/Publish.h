// publish: a release folder turned into the tree that update and download servers serve, with
// its state signed, in one step that leaves the served tree whole whether it succeeds or not.
#pragma once

#include "Passphrase.h"

#include <cstdint>
#include <optional>
#include <string>

namespace zynsign {

enum class Platform { Windows, Linux };

struct PublishRequest {
    std::string keyFile;
    std::string releaseFolder;
    std::string outputFolder;
    Platform platform = Platform::Windows;
    int64_t lifetime = 30 * 86400; // seconds from now to the state's expiry
    std::optional<uint64_t> serial;
    PassphraseSource passphrase;
};

// "30d", "12h" or "90m" as seconds; false for anything else.
bool ParseDuration(const std::string& text, int64_t& seconds);

// Exit status: 0 published, 1 refused or failed (a message on standard error says why, and the
// output folder is as it was).
int Publish(const PublishRequest& request);

} // namespace zynsign
