// The panel's machine tab: every key of the machine in force, editable, rebuilt into the world
// or saved as a machine file.
#pragma once

#include <string>

// Adds the tab's texts, in the user's language, to the glyphs the panel's face must hold.
void AddMachineTexts(std::string& glyphs);
// Builds the tab's contents inside the panel's window.
void MachineSection(float width);
