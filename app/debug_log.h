// The one diagnostic channel: messages go to the debugger output, or with "-dbf" to
// "debug.txt" beside the executable. Also the command-line option test.
#pragma once

#include <cstddef>

void DebugPrint(const char* format, ...) __attribute__((format(printf, 1, 2)));
void DebugSeparator();
bool InitDebugStream();
bool HasOption(const char* text);
void GetModuleDirectory(char* buffer);
void LogSystemInfo();

// The runtime's argument vector, as the C runtime hands it to the program before WinMain.
void SetCommandLine(int argc, char** argv);
