// The one diagnostic channel: messages go to the debugger output, or with "-dbf" to
// "debug.txt" beside the executable (in the user's state folder when the executable's folder
// cannot be written). Also the command-line option test.
#pragma once

#include <cstddef>

void DebugPrint(const char* format, ...) __attribute__((format(printf, 1, 2)));
void DebugSeparator();
bool InitDebugStream();
bool HasOption(const char* text);
// The executable's directory with its trailing separator ('/' here, where Windows has a
// backslash) into a buffer of MAX_PATH characters. False, with an empty buffer, when the path is
// unknown or too long for the buffer: the directory of a cut path would be a wrong one.
bool GetModuleDirectory(char* buffer);
void LogSystemInfo();

// The runtime's argument vector, as the C runtime hands it to the program before WinMain.
void SetCommandLine(int argc, char** argv);

// Where the log goes (empty: the debugger output), and the line each message is formatted into.
extern char logPath[260];
extern char logLine[1024];
