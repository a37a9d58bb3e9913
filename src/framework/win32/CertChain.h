// The check of a TLS server's certificate chain, apart from the TLS that brought it.
#pragma once

#include "framework/win32/WinApi.h"

#include <wincrypt.h>

#include <string>

namespace sys {

// Why the chain of `leaf` (whose store holds what the server sent) is refused for the server
// named `host`; nullptr when it is accepted. It must end in one of the CAs of `pinned`, when
// given, else in one of the system's trusted roots.
const char* CheckServerChain(PCCERT_CONTEXT leaf, HCERTSTORE pinned, const std::wstring& host);

} // namespace sys
