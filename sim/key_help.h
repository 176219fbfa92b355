// F1: every key and gamepad button on screen, over the picture, until F1 is pressed again.
// Off at start, so the picture is the design's until asked for.
#pragma once

struct KeyHelpRow {
    const char* keys; // "" for a heading row: `does` is then the heading
    const char* does;
};
// The one list of keys: a key added to the program is one row here.
extern const KeyHelpRow kKeyHelp[];
extern const int kKeyHelpRows;

// On or off: keyHelpOn, with the picture's other switches in sim/controls.h.
// Toggles on F1; once per drawn tick.
void UpdateKeyHelp();
// The list on a dimmed panel, when on; nothing at all when off.
void DrawKeyHelp();
