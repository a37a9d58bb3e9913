// What the Windows host needs to know of a dialog template that the running window cannot
// tell it: which control is the text line and which bitmap a picture control starts with.
#pragma once

struct DialogResourceFacts {
    int statusControlId = 0; // first static text control (not a picture)
    int initialBitmapId = 0; // bitmap named by the first picture control
};

// Reads dialog template `templateId` from the program's resources; false when there is none
// or it cannot be understood.
bool ReadDialogResourceFacts(int templateId, DialogResourceFacts& facts);
