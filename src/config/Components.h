// The components a launcher keeps current: the files it checks and the names of their version
// entries in the system state. The launcher and zynSign's publish read them from here.
#pragma once

#include <cstddef>
#include <string>

namespace zyn {

inline constexpr const char* kEngineFile = "zynEngine.exe";
inline constexpr const char* kConfigToolFile = "zynConfig.exe";
// Checked for presence and size only; its version entry is kept but never compared.
inline constexpr const char* kNetworkServicesFile = "pssdk_dll.dll";
inline constexpr const char* kLauncherFile = "zynLaunch.exe";
// The new launcher is served, queued and listed under this name.
inline constexpr const char* kTemporaryLauncherFile = "zynLaunchTemp.exe";
// The user interface a launch uses when no "ZynUI" entry names the user's choice.
inline constexpr const char* kDefaultUIComponent = "UI";
inline constexpr const char* kDefaultUIExecutable = "zynUI.exe";

inline constexpr const char* kEngineComponent = "Engine";
inline constexpr const char* kConfigComponent = "Config";
inline constexpr const char* kLaunchComponent = "Launch";
inline constexpr const char* kNetworkServicesComponent = "NetworkServices";

// A file's version text is read into a buffer of this many characters, its terminating zero
// included: a longer text is compared cut short.
inline constexpr size_t kVersionBufferSize = 128;

// A version text as it is compared with a listed one: every ',' a '.', white space cut from both
// ends and every blank left inside removed ("7, 0, 2, 5" reads "7.0.2.5").
std::string NormaliseVersion(const std::string& version);

} // namespace zyn
