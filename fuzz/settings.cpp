// Fuzzes the readers of the two setting files with one text that serves as both: a fetched state
// body (rewritten first when it carries the marker) or a state file, and a user file. No value
// runs past the end of its line, and the engine's command line keeps its fixed start.
#include "FuzzCheck.h"
#include "config/EngineArgs.h"
#include "config/SettingLines.h"
#include "config/StateBody.h"
#include "config/SystemStateFile.h"
#include "config/UserConfigFile.h"
#include "framework/System.h"

// The readers never touch files; a target that did would be a finding.
namespace sys {
bool ReadWholeFile(const std::string&, std::string&) {
    __builtin_trap();
}
bool WriteWholeFile(const std::string&, const std::string&, FileWriter::Kind) {
    __builtin_trap();
}
} // namespace sys

namespace {
bool OnOneLine(const std::string& text) {
    return text.find("\r\n") == std::string::npos;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text = InputText(data, size);
    std::string stateText = "untouched";
    if (!zyn::RewriteStateBody(text, stateText)) {
        Require(stateText == "untouched");
        stateText = text;
    }
    std::string uiName = "Default", component = "UI", executable = "zynUI.exe";
    if (zyn::FindUIChoice(text, uiName)) {
        Require(OnOneLine(uiName));
        if (zyn::FindUIEntry(stateText, uiName, component, executable))
            Require(component.find(';') == std::string::npos &&
                    executable.find(';') == std::string::npos);
    }
    StringList lists[4];
    std::string versions[5];
    zyn::ParseSystemState(stateText, component,
                          {lists[0], lists[1], lists[2], lists[3], versions[0], versions[1],
                           versions[2], versions[3], versions[4]});
    for (const StringList& list : lists)
        for (int i = 0; i < list.GetCount(); ++i)
            Require(OnOneLine(list.GetAt(i)));
    for (const std::string& version : versions)
        Require(OnOneLine(version));
    for (const zyn::SettingLine& line : zyn::ReadSettingLines(text))
        Require(line.key.find('=') == std::string::npos && OnOneLine(line.key) &&
                OnOneLine(line.value));

    const std::string server = lists[0].IsEmpty() ? std::string() : lists[0].GetAt(0);
    std::string args;
    int32_t startEngine = 1, startUI = 1;
    zyn::BuildEngineArgs(text, lists[1], {server, "192.0.2.7", static_cast<int32_t>(size)}, args,
                         startEngine, startUI);
    Require(args.rfind("-mode engine -orbitals ", 0) == 0);
    Require((startEngine == 0 || startEngine == 1) && (startUI == 0 || startUI == 1));
    return 0;
}
