// What the sweep and the optimiser ask of their own process: the cores they may use, the folder
// they were started from (their evaluator is beside them), and a way out that runs no exit-time
// destructors.
#pragma once

#include <string>

// The cores this process may run on (its affinity), at least 1.
int CoresAvailable();
// This program's folder with a trailing '/', or "" when /proc cannot say.
std::string ProgramFolder();
// The trace format's code brings the program's process-wide objects along, whose shut-down at
// exit would log the release of a device never made: the tools leave without running it.
[[noreturn]] void Leave(int code);
