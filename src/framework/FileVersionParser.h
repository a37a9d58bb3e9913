// Reading the version text out of a program file's bytes, for systems without a version
// resource service: a PE file's VERSIONINFO or an ELF file's package note.
#pragma once

#include <string>
#include <string_view>

// PE: the FileVersion string of the first translation. ELF: the "version" of the
// ".note.package" JSON. False when the bytes hold neither.
bool ParseFileVersion(std::string_view file, std::string& version);
