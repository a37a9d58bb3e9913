// The file writer's course, alike on every system; each backend supplies the file calls.
#include "framework/System.h"

#include <vector>

namespace sys {

bool FileWriter::Open(const std::string& target, Kind kind) {
    Abandon();
    m_file = CreateFresh(TemporaryFileName(target), kind);
    m_target = target;
    m_failed = false;
    return IsOpen();
}

bool FileWriter::Resume(const std::string& target, uint64_t& kept, Kind kind,
                        const std::function<void(std::string_view)>& read) {
    Abandon();
    m_file = OpenExisting(TemporaryFileName(target), kind);
    m_target = target;
    m_failed = false;
    if (!IsOpen())
        return false;
    bool whole = true;
    uint64_t total = 0;
    if (read) {
        std::vector<char> block(64 * 1024);
        size_t got = 0;
        while ((whole = ReadBlock(m_file, block.data(), block.size(), got)) && got > 0) {
            read(std::string_view(block.data(), got));
            total += got;
        }
    }
    // The length is where writing goes on; what was read must be all of it.
    if (whole && SeekToEnd(m_file, kept) && (!read || kept == total))
        return true;
    Close(m_file);
    m_file = kNoFile;
    return false;
}

bool FileWriter::Write(const char* data, size_t size) {
    if (!IsOpen() || m_failed)
        return false;
    if (m_buffer.size() + size > kBufferSize && !FlushBuffer())
        return false;
    if (size >= kBufferSize) {
        m_failed = !WriteBlock(m_file, data, size);
        return !m_failed;
    }
    if (m_buffer.capacity() < kBufferSize)
        m_buffer.reserve(kBufferSize);
    m_buffer.append(data, size);
    return true;
}

bool FileWriter::FlushBuffer() {
    if (!m_buffer.empty() && !m_failed)
        m_failed = !WriteBlock(m_file, m_buffer.data(), m_buffer.size());
    m_buffer.clear();
    return !m_failed;
}

bool FileWriter::Commit() {
    if (!IsOpen())
        return false;
    FlushBuffer();
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
    m_buffer.clear();
    Close(m_file);
    m_file = kNoFile;
    DeleteFile(TemporaryFileName(m_target));
}

void FileWriter::Keep() {
    if (!IsOpen())
        return;
    FlushBuffer();
    const intptr_t file = m_file;
    m_file = kNoFile;
    // Flushed, so that a later writer takes up the bytes that were written, even after a crash.
    bool whole = false;
    if (m_failed)
        Close(file);
    else
        whole = FlushAndClose(file);
    if (!whole)
        DeleteFile(TemporaryFileName(m_target));
}

bool WriteWholeFile(const std::string& name, const std::string& contents, FileWriter::Kind kind) {
    FileWriter writer;
    return writer.Open(name, kind) && writer.Write(contents) && writer.Commit();
}

bool CopyFile(const std::string& from, const std::string& to) {
    const intptr_t in = FileWriter::OpenCopySource(from, to);
    if (in == FileWriter::kNoFile)
        return false;
    FileWriter out;
    bool ok = out.Open(to);
    if (ok)
        FileWriter::CopyPermissions(in, out.m_file);
    std::vector<char> block(65536);
    size_t got = 0;
    while (ok && (ok = FileWriter::ReadBlock(in, block.data(), block.size(), got)) && got > 0)
        ok = out.Write(block.data(), got);
    FileWriter::Close(in);
    return ok && out.Commit();
}

} // namespace sys
