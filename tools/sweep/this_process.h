// What the sweep and the optimiser ask of their own process: the cores they may use, the folder
// they were started from (their evaluator is beside them), and a way out that runs no exit-time
// destructors.
#pragma once

#include <string>
#include <vector>

// The cores this process may run on (its affinity), at least 1.
int CoresAvailable();
// This program's folder with a trailing '/', or "" when /proc cannot say.
std::string ProgramFolder();
// The trace format's code brings the program's process-wide objects along, whose shut-down at
// exit would log the release of a device never made: the tools leave without running it.
[[noreturn]] void Leave(int code);
// In a forked child: standard output and error to `log`, then `args` run (args[0] a path).
// Exits 126 when the log cannot be opened, 127 when the program cannot be run.
[[noreturn]] void ExecLogged(const std::string& log, std::vector<std::string>& args);
