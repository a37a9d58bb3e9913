// The CAs that a server's certificate chain must end in, when the launcher is built with them
// (ZYN_TRUSTED_CA) and compiled into it; none in a default build: the system's roots then.
#pragma once

#include "framework/TlsSession.h"

#include <span>

namespace zyn {

std::span<const sys::CertificateDer> TrustedCas();

} // namespace zyn
