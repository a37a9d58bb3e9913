// The line format in which a window reports what it shows: the first status, then one line per
// visible change ("progress N", "status TEXT", "picture N", "message TEXT"), and "note TEXT"
// for what it does not show; a line break inside a text is written as \n.
#pragma once

#include <cstdio>
#include <string>

class WindowTrace {
  public:
    // The environment variable that names the file a trace appends to.
    static constexpr const char* kFileVariable = "ZYN_LAUNCH_TRACE";

    WindowTrace() = default;
    ~WindowTrace();
    WindowTrace(const WindowTrace&) = delete;
    WindowTrace& operator=(const WindowTrace&) = delete;

    // Writes to a stream that stays open (standard output).
    void AttachStream(FILE* stream) { m_stream = stream; }
    // Appends to the file named by the environment variable, when it is set and not empty.
    bool OpenFromEnvironment(const char* variable);
    bool IsActive() const { return m_stream != nullptr; }

    // The window as it first appears: writes the status line, remembers the rest unwritten.
    void Begin(const std::string& status, int progress, int bitmapId);
    // Each writes its line only when the value differs from the last one written.
    void Status(const std::string& text);
    void Progress(int pos);
    void Picture(int bitmapId);
    // Always written.
    void Message(const std::string& text);
    void Note(const std::string& text);

  private:
    void Line(const char* kind, const std::string& text);
    FILE* m_stream = nullptr;
    bool m_ownsStream = false;
    bool m_hasStatus = false, m_hasProgress = false, m_hasPicture = false;
    std::string m_status;
    int m_progress = 0;
    int m_picture = 0;
};
