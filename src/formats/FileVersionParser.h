// Reading the version text out of a program file's bytes, for systems without a version
// resource service, and telling the two kinds of program image apart. The bytes may come from a
// download: a hostile or truncated file gives no version, never a read outside the bytes given.
#pragma once

#include "formats/FileBytes.h"

#include <string>
#include <string_view>

namespace formats {

// A PE file's version resource: the FileVersion string of its first translation.
bool ParsePeFileVersion(std::string_view file, std::string& version);
bool ParsePeFileVersion(const formats::ByteSource& file, std::string& version);
// An ELF file's ".note.package" JSON: the top-level "version" member, escapes decoded.
bool ParseElfFileVersion(std::string_view file, std::string& version);
bool ParseElfFileVersion(const formats::ByteSource& file, std::string& version);
// Either, by the file's first bytes. False when the bytes hold no version; `version` is then
// left untouched. From a ByteSource only the headers and the version's own bytes are read.
bool ParseFileVersion(std::string_view file, std::string& version);
bool ParseFileVersion(const formats::ByteSource& file, std::string& version);

// The program images that a system starts: PE on Windows, ELF on Linux.
enum class ProgramFormat { Pe, Elf };
// True when `head`, a file's first bytes (the first 4 KiB are enough), begins a program or
// library image of that format: the headers a loader reads first, with the values of an image
// (not of an object file or a core dump). Nothing is said of the processor it is for.
bool IsProgramImage(std::string_view head, ProgramFormat format);
bool IsPeImage(std::string_view head);
bool IsElfImage(std::string_view head);

} // namespace formats
