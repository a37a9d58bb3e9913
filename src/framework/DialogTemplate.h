// A dialog template as the backends without a resource compiler see it. The Windows program
// reads the real template from its resources; the terminal and the fake hosts use this.
#pragma once

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
