// The name a component is requested and written under.
#pragma once

#include <string>

namespace zyn {

// The text after the URL's last "/".
std::string UrlFileName(const std::string& url);

// A queued name comes from a fetched system state. One that is empty or could reach outside
// the launcher's folder or the request line ("/", "\\", ":", "..", a control byte), that names a
// device or another file on Windows ("NUL", "CON.exe", a trailing dot or blank), that holds the
// ending of a launch's temporary files in any letter case, or that is one of the launcher's own
// files (itself, its two text files; as the system compares names), is never requested nor
// written. The launcher's new version arrives as "zynLaunchTemp.exe" and only its self-update
// puts it in place.
bool IsSafeComponentName(const std::string& name);

// Beside the bytes kept from a download cut short (sys::TemporaryFileName), the validator of
// the file they began: a name that no component can have either.
std::string KeptValidatorFileName(const std::string& name);

// A name that the system takes for a program or a library (".exe", ".dll", in any letter case):
// such a file must be a program image of the system's own format.
bool IsProgramFileName(const std::string& name);

} // namespace zyn
