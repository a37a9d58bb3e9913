// System services the launcher needs: files by relative name, detached processes, version
// texts, the proxy setting and the calendar time. One implementation per platform.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace sys {

// Opens `name` for reading without sharing (an open that another handle blocks fails) and
// reads it whole.
bool ReadWholeFile(const std::string& name, std::string& contents);
// True when `name` can be opened for reading; nothing is read.
bool CanOpenForReading(const std::string& name);
// Size of a file that can be opened for reading; false when it cannot.
bool GetOpenableFileSize(const std::string& name, uint64_t& size);
// Creates or truncates `name` and writes `contents`, flushed and closed.
bool WriteWholeFile(const std::string& name, const std::string& contents);
bool DeleteFile(const std::string& name);
// Copies `from` over `to`, replacing an existing file.
bool CopyFile(const std::string& from, const std::string& to);
// Replaces `to` by `from` in one step (rename over it); `from` is gone afterwards.
bool ReplaceFile(const std::string& from, const std::string& to);

// Starts a detached process from a Windows-style command line with the given current
// directory; true when the process was created. It is never waited for.
bool StartProcess(const std::string& commandLine, const std::string& currentDirectory);

// The FileVersion text of a program file's version information; false when there is none.
bool ReadFileVersion(const std::string& name, std::string& version);

// The user's proxy setting in the Windows shape: an enable value and the server text
// ("host:port"). Without a setting, enabled is 0 and the text empty.
struct ProxySetting {
    uint32_t enabled = 0;
    std::string server;
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
