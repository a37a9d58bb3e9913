// The public keys whose signatures on a fetched system state the launcher trusts: chosen when
// the launcher is built (ZYN_TRUSTED_KEYS) and compiled into it. None in a default build.
#pragma once

#include "framework/Crypto.h"

#include <span>

namespace zyn {

std::span<const sys::P256PublicKey> TrustedKeys();

} // namespace zyn
