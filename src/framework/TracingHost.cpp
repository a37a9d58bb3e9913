// The window trace around any host.
#include "framework/TracingHost.h"

#include <algorithm>

TracingHost::TracingHost(DialogHost& inner, FILE* lineStream) : m_inner(inner) {
    m_file.OpenFromEnvironment(WindowTrace::kFileVariable);
    if (lineStream)
        m_lines.AttachStream(lineStream);
    m_inner.onOpened = [this](const OpenedWindow& window) {
        m_window = window;
        m_open = true;
        m_low = m_pos = 0;
        m_high = 100;
        Each([&](WindowTrace& t) { t.Begin(window.status, 0, window.bitmap); });
    };
}

int TracingHost::RunModal(CDialog& dialog) {
    const int result = m_inner.RunModal(dialog);
    m_open = false;
    return result;
}

void TracingHost::MessageBox(const std::string& text, const std::string& caption) {
    // Written first: while the box is open, whoever reads the trace may have to answer it.
    Each([&](WindowTrace& t) { t.Message(text); });
    m_inner.MessageBox(text, caption);
}

void TracingHost::Note(const std::string& text) {
    Each([&](WindowTrace& t) { t.Note(text); });
}

void TracingHost::SetControlText(int controlId, const std::string& text) {
    m_inner.SetControlText(controlId, text);
    if (m_open && (controlId == m_window.statusId || !m_window.statusId))
        Each([&](WindowTrace& t) { t.Status(text); });
}

bool TracingHost::IsProgress(int controlId) const {
    return m_open && (controlId == m_window.progressId || !m_window.progressId);
}

void TracingHost::SetProgressRange(int controlId, int low, int high) {
    m_inner.SetProgressRange(controlId, low, high);
    if (!IsProgress(controlId))
        return;
    m_low = low;
    m_high = high;
}

void TracingHost::SetProgressPos(int controlId, int pos) {
    m_inner.SetProgressPos(controlId, pos);
    if (!IsProgress(controlId))
        return;
    // The position the bar shows: within its range, as the control keeps it.
    m_pos = std::clamp(pos, std::min(m_low, m_high), std::max(m_low, m_high));
    Each([&](WindowTrace& t) { t.Progress(m_pos); });
}

void TracingHost::SetControlBitmap(int controlId, int bitmapId) {
    m_inner.SetControlBitmap(controlId, bitmapId);
    if (m_open && (controlId == m_window.pictureId || !m_window.pictureId))
        Each([&](WindowTrace& t) { t.Picture(bitmapId); });
}
