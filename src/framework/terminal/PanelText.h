// The text parts of the terminal window's panel, laid out for a terminal's width; the picture
// is PictureCells'.
#pragma once

#include <string>
#include <vector>

// `text` cut at its line breaks, each line made printable.
std::vector<std::string> SplitLines(const std::string& text);
// " [####......] 40%", the bar as wide as `columns` allows, at most 40 cells.
std::string ProgressLine(int percent, int columns);
// A message box: `text` in a frame whose top edge carries `caption`, broken between words to
// fit `columns`, with the OK button inside the frame under it.
std::vector<std::string> MessageBoxLines(const std::string& caption, const std::string& text,
                                         int columns);
