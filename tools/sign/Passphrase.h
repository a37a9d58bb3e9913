// Where the passphrase of an encrypted private key comes from: an environment variable that an
// option names, else the terminal, asked with its echo off.
#pragma once

#include <string>

namespace zynsign {

struct PassphraseSource {
    std::string environmentVariable; // empty: ask the terminal
};

// The passphrase for `keyFile`. With `confirm` the terminal asks twice, for a new key. False
// with `error` when there is none (no terminal, a variable that is unset or empty, two
// different answers).
bool GetPassphrase(const PassphraseSource& source, const std::string& keyFile, bool confirm,
                   std::string& passphrase, std::string& error);

} // namespace zynsign
