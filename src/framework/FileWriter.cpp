// The file writer's course, alike on every system; each backend supplies the file calls.
#include "System.h"

namespace sys {

bool FileWriter::Open(const std::string& target, Kind kind) {
    Abandon();
    m_file = CreateFresh(TemporaryFileName(target), kind);
    m_target = target;
    m_failed = false;
    return IsOpen();
}

bool FileWriter::Write(const char* data, size_t size) {
    if (!IsOpen() || m_failed)
        return false;
    m_failed = !WriteBlock(m_file, data, size);
    return !m_failed;
}

bool FileWriter::Commit() {
    if (!IsOpen())
        return false;
    const intptr_t file = m_file;
    m_file = kNoFile;
    const std::string temporary = TemporaryFileName(m_target);
    // On disk before the rename, or a crash soon after it could leave the target empty.
    bool whole = false;
    if (m_failed)
        Close(file);
    else
        whole = FlushAndClose(file);
    if (whole && RenameOver(temporary, m_target))
        return true;
    DeleteFile(temporary);
    return false;
}

void FileWriter::Abandon() {
    if (!IsOpen())
        return;
    Close(m_file);
    m_file = kNoFile;
    DeleteFile(TemporaryFileName(m_target));
}

bool WriteWholeFile(const std::string& name, const std::string& contents, FileWriter::Kind kind) {
    FileWriter writer;
    return writer.Open(name, kind) && writer.Write(contents) && writer.Commit();
}

} // namespace sys
