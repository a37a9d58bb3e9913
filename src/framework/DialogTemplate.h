// A dialog template as the backends without a resource compiler see it. The Windows program
// reads the real template from its resources; the terminal and the fake hosts use this.
#pragma once

#include <string_view>
#include <vector>

struct DialogControl {
    enum Kind { Picture, Progress, Text };
    int id;
    Kind kind;
    const char* initialText; // Text: its first text; Picture: unused
    int initialBitmap;       // Picture: its first bitmap; otherwise 0
};

struct DialogTemplate {
    int id;
    const char* caption;
    std::vector<DialogControl> controls;
};

// Supplied by the program's resources; nullptr for an unknown id.
const DialogTemplate* FindDialogTemplate(int templateId);

// Text of string resource `id`, supplied by the program's resources; nullptr when unknown.
const char* FindStringResource(int id);

// A bitmap resource as the hosts that draw pictures themselves see it: the BMP file's bytes, and
// what the picture says, for where it cannot be shown.
struct BitmapResource {
    int id;
    std::string_view bytes;
    const char* text;
};

// Supplied by the program's resources where they hold bitmaps as bytes (not in the Windows
// program, whose bitmaps are real resources); nullptr for an unknown id.
const BitmapResource* FindBitmapResource(int bitmapId);
