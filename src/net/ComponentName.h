// The name a component is requested and written under.
#pragma once

#include <string>

namespace zyn {

// The text after the URL's last "/".
std::string UrlFileName(const std::string& url);

// A queued name comes from a fetched system state. One that is empty or could reach outside
// the launcher's folder or the request line ("/", "\\", ":", "..", a control byte), that names a
// device or another file on Windows ("NUL", "CON.exe", a trailing dot or blank), or that is a
// launch's temporary file, or that is one of the launcher's own files (itself, its two text
// files; as the system compares names), is never requested nor written. The launcher's new
// version arrives as "zynLaunchTemp.exe" and only its self-update puts it in place.
bool IsSafeComponentName(const std::string& name);

} // namespace zyn
