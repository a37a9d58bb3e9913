// System services the launcher needs: files by relative name, detached processes, version
// texts, the proxy setting and the calendar time. One implementation per platform.
#pragma once

#include "formats/FileVersionParser.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace sys {

// Opens `name` for reading, sharing it only with other readers (an open that a writer's handle
// blocks fails), and reads it whole. Only regular files count; nothing waits for a writer.
bool ReadWholeFile(const std::string& name, std::string& contents);
// True when `name` is a regular file that can be opened for reading; nothing is read.
bool CanOpenForReading(const std::string& name);
// Size of a file that can be opened for reading; false when it cannot.
bool GetOpenableFileSize(const std::string& name, uint64_t& size);
bool DeleteFile(const std::string& name);
// Whether two relative names name the same file as this system compares names: letter case
// aside on Windows, byte for byte elsewhere.
bool SameFileName(std::string_view a, std::string_view b);

// Puts a file in place whole or not at all: the bytes go to a temporary file beside the target,
// are flushed to disk and renamed over the target in one step, so that neither a crash nor a
// write that fails halfway leaves a target that is empty or cut short. Until the commit the
// target stays as it was; a writer that is not committed removes its temporary file again.
class FileWriter {
  public:
    // A program is made executable where the system marks programs so.
    enum class Kind { Data, Program };

    FileWriter() = default;
    ~FileWriter() { Abandon(); }
    FileWriter(const FileWriter&) = delete;
    FileWriter& operator=(const FileWriter&) = delete;

    // Creates the temporary file for `target` (TemporaryFileName), replacing a leftover of an
    // earlier attempt. A writer still open is abandoned first.
    bool Open(const std::string& target, Kind kind = Kind::Data);
    // Takes up the temporary file that an earlier writer for `target` kept, to write on at its
    // end; `kept` gets its length. With `read`, the kept bytes are handed to it first, in order
    // and once. False when there is no such file or it cannot be read: nothing is open then and
    // the file is as it was. A writer still open is abandoned first.
    bool Resume(const std::string& target, uint64_t& kept, Kind kind = Kind::Data,
                const std::function<void(std::string_view)>& read = {});
    // Appends a block. Small blocks gather in memory up to kBufferSize, so that a body that
    // arrives in many small pieces costs a system call per kBufferSize bytes, not per piece; so
    // a write can fail at a later call, or at the Commit or Keep that flushes it. After a failed
    // write the writer stays open, but Commit fails.
    bool Write(const char* data, size_t size);
    bool Write(const std::string& data) { return Write(data.data(), data.size()); }
    // Flushes the bytes to disk and renames the temporary file over the target. False when any
    // step failed: the temporary file is then gone and the target as it was.
    bool Commit();
    // Closes and removes the temporary file; the target is not touched.
    void Abandon();
    // Flushes and closes the temporary file and leaves it for a later Resume; the target is not
    // touched. A writer whose write failed, or whose flush fails, removes the file instead: only
    // bytes that were written whole are kept.
    void Keep();
    bool IsOpen() const { return m_file != kNoFile; }

    static constexpr size_t kBufferSize = 64 * 1024;

  private:
    friend bool CopyFile(const std::string& from, const std::string& to);
    static constexpr intptr_t kNoFile = -1; // a descriptor or a handle, by backend
    // Writes out what has gathered; false once any write has failed.
    bool FlushBuffer();
    // What each backend supplies: a fresh file in place of any old one (kNoFile when it cannot
    // be made), an existing regular file opened to read and write, made a program if asked
    // (kNoFile when there is none), a copy's source opened to read (kNoFile when it is no
    // file, or the copy's target itself) and its permissions given to the copy, a block read
    // from the current position (`got` 0 at the end), the position moved to the end, a whole
    // block written, the bytes flushed to disk and the file closed (closed even when the flush
    // fails), a close alone, and a rename over the target that lasts.
    static intptr_t CreateFresh(const std::string& name, Kind kind);
    static intptr_t OpenExisting(const std::string& name, Kind kind);
    static intptr_t OpenCopySource(const std::string& from, const std::string& to);
    static void CopyPermissions(intptr_t from, intptr_t to);
    static bool ReadBlock(intptr_t file, char* data, size_t size, size_t& got);
    static bool SeekToEnd(intptr_t file, uint64_t& size);
    static bool WriteBlock(intptr_t file, const char* data, size_t size);
    static bool FlushAndClose(intptr_t file);
    static void Close(intptr_t file);
    static bool RenameOver(const std::string& from, const std::string& to);
    intptr_t m_file = kNoFile;
    std::string m_target;
    bool m_failed = false;
    std::string m_buffer; // written bytes not yet handed to the file
};

// Where a FileWriter keeps the bytes for `target` until its commit: beside the target, the
// same name for the same target every time, so that a later run can find a leftover.
inline std::string TemporaryFileName(const std::string& target) {
    // Beside the target, so that the rename stays on one file system and is one step; with an
    // ending that no component carries (component names with it are refused), so that a leftover
    // is never taken for a component or started as a program.
    return target + ".zynpart";
}
// Writes `contents` to `name` through a FileWriter.
bool WriteWholeFile(const std::string& name, const std::string& contents,
                    FileWriter::Kind kind = FileWriter::Kind::Data);
// Copies `from` over `to` through a FileWriter, keeping the source's permissions. Copying a
// file onto itself (the same name, or another link to it) fails and changes nothing.
bool CopyFile(const std::string& from, const std::string& to);

// Starts `program`, a file named relative to the current directory and never searched for, as
// a detached process that gets the Windows-style `commandLine` and the given current
// directory. True when the process was created; it is never waited for. Otherwise `failure`
// holds the system's reason, one line without a closing full stop.
bool StartProcess(const std::string& program, const std::string& commandLine,
                  const std::string& currentDirectory, std::string& failure);

// The kind of program image this system starts.
formats::ProgramFormat NativeProgramFormat();

// The FileVersion text of a program file's version information (its first translation) into
// `buffer`: at most size - 1 characters and a terminating zero. False when there is none; the
// buffer is then left untouched.
bool ReadFileVersion(const std::string& name, char* buffer, size_t size);

// The user's proxy setting as the system holds it: on Windows the registry's internet settings
// (an enable value, the server text and the list of hosts reached directly), read as WinINet
// reads them; on Linux the environment's proxy URLs and no_proxy, read as curl reads them.
// Whatever is not set is 0 or empty.
struct ProxySetting {
    uint32_t enabled = 0;         // ProxyEnable
    std::string server;           // ProxyServer: "host:port", or "http=host:port;https=..."
    std::string proxyOverride;    // ProxyOverride
    bool fromEnvironment = false; // the three below count, and the three above do not
    std::string httpProxy;        // http_proxy, else HTTP_PROXY
    std::string httpsProxy;       // https_proxy, else HTTPS_PROXY
    std::string noProxy;          // no_proxy, else NO_PROXY
};
ProxySetting ReadProxySetting();

// Seconds since 1970-01-01 00:00 UTC, and the local calendar fields of a time.
int64_t CalendarTime();
struct LocalDate {
    int day;   // 1..31
    int month; // 1..12
    int year;  // four digits
};
LocalDate ToLocalDate(int64_t time);
// The calendar time as the launcher reads it: CalendarTime(), unless a test has fixed it
// (std::nullopt lets the clock run again).
int64_t ReadCalendarTime();
void FixCalendarTime(std::optional<int64_t> time);

} // namespace sys
