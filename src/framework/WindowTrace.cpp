// Line-format reporting of a window's visible changes.
#include "framework/WindowTrace.h"

#include <cstdlib>

WindowTrace::~WindowTrace() {
    if (m_ownsStream && m_stream)
        std::fclose(m_stream);
}

bool WindowTrace::OpenFromEnvironment(const char* variable) {
    const char* path = std::getenv(variable);
    if (!path || !*path)
        return false;
    m_stream = std::fopen(path, "a");
    m_ownsStream = m_stream != nullptr;
    return m_ownsStream;
}

void WindowTrace::Line(const char* kind, const std::string& text) {
    if (!m_stream)
        return;
    std::string line = kind;
    line += ' ';
    for (char c : text) {
        if (c == '\n')
            line += "\\n";
        else
            line += c;
    }
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), m_stream);
    std::fflush(m_stream);
}

void WindowTrace::Begin(const std::string& status, int progress, int bitmapId) {
    m_hasProgress = m_hasPicture = true;
    m_progress = progress;
    m_picture = bitmapId;
    Status(status);
}

void WindowTrace::Status(const std::string& text) {
    if (m_hasStatus && text == m_status)
        return;
    m_hasStatus = true;
    m_status = text;
    Line("status", text);
}

void WindowTrace::Progress(int pos) {
    if (m_hasProgress && pos == m_progress)
        return;
    m_hasProgress = true;
    m_progress = pos;
    Line("progress", std::to_string(pos));
}

void WindowTrace::Picture(int bitmapId) {
    if (m_hasPicture && bitmapId == m_picture)
        return;
    m_hasPicture = true;
    m_picture = bitmapId;
    Line("picture", std::to_string(bitmapId));
}

void WindowTrace::Message(const std::string& text) {
    Line("message", text);
}

void WindowTrace::Note(const std::string& text) {
    Line("note", text);
}
