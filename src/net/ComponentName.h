// The name a component is requested and written under.
#pragma once

#include <string>

namespace zyn {

// The text after the URL's last "/".
std::string UrlFileName(const std::string& url);

// A queued name comes from a fetched system state. One that is empty or could reach outside
// the launcher's folder or the request line ("/", "\\", ":", "..", a control byte) is never
// requested nor written.
bool IsSafeComponentName(const std::string& name);

} // namespace zyn
