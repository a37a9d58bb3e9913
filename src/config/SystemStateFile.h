// The system state file "zynSystemConfig.txt": its setting lines, its version entries and the
// user interface entries that stage 1 looks up.
#pragma once

#include "framework/StringList.h"

#include <string>

namespace zyn {

inline constexpr const char* kSystemStateFileName = "zynSystemConfig.txt";
// Where the missing-file message sends the user; defined once.
inline constexpr const char* kSupportAddress = "https://support.zyn.example/launcher";
std::string MissingSystemStateMessage();

// Where a parse puts what it finds: the four lists and the five listed versions of the launch.
struct SystemStateFields {
    StringList& deepServers;
    StringList& orbitalServers;
    StringList& downloadURLs;
    StringList& updateURLs;
    std::string& uiVersion;
    std::string& launchVersion;
    std::string& configVersion;
    std::string& engineVersion;
    std::string& networkServicesVersion;
};

// The value of a system state line ends at its last ';'; without one it is empty.
std::string SystemStateValue(const std::string& rawValue);

// Appends the list entries and sets the versions found in `text`; `uiComponent` names the
// component whose version entry is the user interface's.
void ParseSystemState(const std::string& text, const std::string& uiComponent,
                      const SystemStateFields& fields);

// The first "ZynUI=" entry whose text begins with `uiName`: the two ';'-ended fields after it.
// False when there is no such entry (then nothing is set).
bool FindUIEntry(const std::string& text, const std::string& uiName, std::string& component,
                 std::string& executable);

} // namespace zyn
