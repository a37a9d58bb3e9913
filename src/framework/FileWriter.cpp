// What the file writer does alike on every system: the temporary name and whole-file writes.
#include "System.h"

namespace sys {

std::string TemporaryFileName(const std::string& target) {
    // Beside the target, so that the rename stays on one file system and is one step; with an
    // ending that no component carries, so that a leftover is never taken for a component or
    // started as a program.
    return target + ".zynpart";
}

bool WriteWholeFile(const std::string& name, const std::string& contents, FileWriter::Kind kind) {
    FileWriter writer;
    return writer.Open(name, kind) && writer.Write(contents) && writer.Commit();
}

} // namespace sys
