// The run mode, chosen by the launcher's first command-line argument alone.
#include "app/RunMode.h"

#include "config/TextRules.h"

namespace zyn {

RunMode ParseRunMode(const std::string& firstArgument) {
    const std::string mode = TrimWhiteSpace(firstArgument);
    if (mode == "-stage1")
        return RunMode::Stage1;
    if (mode == "-stage2")
        return RunMode::Stage2;
    if (mode == "-config")
        return RunMode::Config;
    return RunMode::Normal;
}

} // namespace zyn
