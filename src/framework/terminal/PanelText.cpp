// Layout of the panel's progress bar and message boxes.
#include "framework/terminal/PanelText.h"

#include "framework/terminal/TerminalPanel.h"

#include <algorithm>

namespace {
constexpr int kMaxBarCells = 40;
constexpr char kOkButton[] = "[ OK ]";

// Breaks `line` between words into pieces of at most `width`; a longer word is cut.
void Wrap(const std::string& line, size_t width, std::vector<std::string>& out) {
    size_t start = 0;
    do {
        size_t end = std::min(line.size(), start + width);
        if (end < line.size()) {
            size_t space = line.rfind(' ', end);
            if (space != std::string::npos && space > start)
                end = space;
        }
        out.push_back(line.substr(start, end - start));
        start = end;
        while (start < line.size() && line[start] == ' ')
            ++start;
    } while (start < line.size());
}

std::string Padded(const std::string& text, size_t width) {
    return text + std::string(width - std::min(width, text.size()), ' ');
}
} // namespace

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (;;) {
        size_t end = text.find('\n', start);
        lines.push_back(TerminalPanel::Printable(text.substr(start, end - start)));
        if (end == std::string::npos)
            return lines;
        start = end + 1;
    }
}

std::string ProgressLine(int percent, int columns) {
    // " [", "] ", "100%" and the column the panel leaves free take nine.
    int cells = std::clamp(columns - 9, 10, kMaxBarCells);
    int filled = percent * cells / 100;
    return " [" + std::string(static_cast<size_t>(filled), '#') +
           std::string(static_cast<size_t>(cells - filled), '.') + "] " + std::to_string(percent) +
           "%";
}

std::vector<std::string> MessageBoxLines(const std::string& caption, const std::string& text,
                                         int columns) {
    std::string title = TerminalPanel::Printable(caption);
    std::vector<std::string> paragraphs = SplitLines(text);
    // The frame takes " | " and " |" around the text, and the panel's free column.
    size_t widest = title.size() + 6;
    for (const std::string& line : paragraphs)
        widest = std::max(widest, line.size());
    size_t inner = std::max<size_t>(std::min<size_t>(widest, std::max(columns - 6, 1)), 10);
    std::vector<std::string> body;
    for (const std::string& line : paragraphs)
        Wrap(line, inner, body);

    title = title.substr(0, inner > 6 ? inner - 6 : 0);
    std::vector<std::string> lines;
    lines.push_back(" +-- " + title + " " + std::string(inner - 2 - title.size(), '-') + "+");
    for (const std::string& line : body)
        lines.push_back(" | " + Padded(line, inner) + " |");
    size_t indent = (inner - (sizeof kOkButton - 1)) / 2;
    lines.push_back(" | " + Padded(std::string(indent, ' ') + kOkButton, inner) + " |");
    lines.push_back(" +" + std::string(inner + 2, '-') + "+");
    return lines;
}
