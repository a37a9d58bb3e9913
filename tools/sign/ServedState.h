// verify with a URL: the served state and every file it lists, fetched as launchers fetch them.
#pragma once

#include "framework/Crypto.h"

#include <span>
#include <string>

namespace zynsign {

// Fetches the state at `url` and checks its signature with `keys`, its serial and its expiry;
// then checks that it lists a digest and a version for every component a launcher checks, and
// fetches every listed file from every download URL, checking its size, its digest and the
// version a launcher would read from it. One line per item on standard output; 0 when all
// pass, else 1.
int VerifyServedState(std::span<const sys::P256PublicKey> keys, const std::string& url);

} // namespace zynsign
