// Fuzzes the deep resolver answer with whole datagrams, and puts what it accepts on the engine's
// command line: a refused answer changes nothing, and an accepted one adds exactly its address
// and port to the engine's words, so that nothing in an answer can start an option of its own.
#include "FuzzCheck.h"
#include "config/EngineArgs.h"
#include "formats/CommandLine.h"
#include "net/DeepAnswer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zyn::DeepAnswer answer{"untouched", -1};
    if (!zyn::ParseDeepAnswer(InputText(data, size), answer)) {
        Require(answer.ip == "untouched" && answer.port == -1);
        return 0;
    }
    Require(answer.port >= 0 && answer.port <= 65535);
    const std::string server = "127.0.0.5";
    StringList orbitals;
    orbitals.AddTail("orb");
    std::string args;
    int32_t startEngine = 1, startUI = 1;
    zyn::BuildEngineArgs("", orbitals, {server, answer.ip, answer.port}, args, startEngine,
                         startUI);
    std::vector<std::string> expected = {"zynEngine.exe", "-mode",       "engine", "-orbitals",
                                         "orbO",          "-deepserver", server,   "-deepip"};
    if (!answer.ip.empty())
        expected.push_back(answer.ip);
    expected.insert(expected.end(), {"-deepport", std::to_string(answer.port)});
    Require(formats::SplitCommandLine("zynEngine.exe " + args) == expected);
    return 0;
}
