// The release description (zynRelease.txt) and the components that a state makes a launcher
// check: what publish builds a state from, and what verify expects a served state to list.
#pragma once

#include "config/TrustEntries.h"

#include <string>
#include <string_view>
#include <vector>

namespace zynsign {

inline constexpr const char* kReleaseDescription = "zynRelease.txt";
inline constexpr const char* kServedStateName = "clientgetconfig.php";

// Text as an editor may have saved it, made what the launcher reads: no UTF-8 byte order mark,
// LF line ends, an LF after the last line (a launcher skips a line without one). `changes`
// says what was changed; empty when nothing was.
std::string NormaliseOperatorText(std::string_view text, std::string& changes);

// One file that a launcher checks and may fetch.
struct Component {
    std::string file;       // its name in a release folder and a client's folder
    std::string servedName; // requested and listed under this name (the new launcher's differs)
    std::string entry;      // the component name of its version entry
};

// Every component that a launch may check for a state whose text is `text`: the engine, the
// configuration tool, the launcher, the network services library, then the default user
// interface when no "ZynUI" entry names the default choice, and that of each entry. False with
// `error` for an entry that a launcher would misread or that names a file it must not write.
bool ComponentsOfState(const std::string& text, std::vector<Component>& components,
                       std::string& error);

// Checks a normalised description: only the entries an operator writes (servers, URLs, user
// interfaces), each readable, with at least one update URL, download URL and orbital server.
bool CheckReleaseDescription(const std::string& text, std::string& error);

// The version text that a launcher compares for a program file's bytes: read with its
// readers, cut as its buffer cuts it and normalised. False when the bytes hold none.
bool ComparedVersionOf(std::string_view bytes, std::string& version);

// "serial N, expires <UTC time>" of a state that lists both.
std::string DescribeTrust(const zyn::TrustEntries& entries);

} // namespace zynsign
