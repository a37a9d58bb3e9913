// The engine's argument text, built from the orbital servers, the user's setting lines and the
// last deep resolver answer.
#pragma once

#include "framework/StringList.h"

#include <cstdint>
#include <string>

namespace zyn {

struct DeepResolverAnswer {
    const std::string& server; // empty: no answer
    const std::string& ip;
    int32_t port;
};

// Appends `option` and one blank.
void AppendEngineOption(std::string& args, const std::string& option);

// Replaces `args` with the engine's arguments. A "zynLaunch" line may clear `startEngine` or
// `startUI`; neither is ever set here.
void BuildEngineArgs(const std::string& userConfigText, const StringList& orbitalServers,
                     const DeepResolverAnswer& deep, std::string& args, int32_t& startEngine,
                     int32_t& startUI);

} // namespace zyn
