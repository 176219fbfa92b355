// A live drive written down for exact replay: --record FILE writes every change of the tick's
// key sample in the replay runner's script format, --trace FILE the runner's CSV trace. Both
// count ticks as the runner does, so lateness of the live ticks never shows in either file.
#pragma once

#include <string>

// Takes --record FILE and --trace FILE out of argv (the rest is left for the program's own
// option test) and opens the files. False with a one-line reason on a missing or repeated
// value or a file that cannot be written.
bool TakeDriveOptions(int& argc, char** argv, std::string& error);

// Hooks the recording in after each of the Application's ticks; nothing when no file is open.
// Call it after the start-up, before the first tick.
void StartDriveRecording();

// Ends both files (the script's last line names the tick count to replay with). False with
// the reason when something could not be written.
bool FinishDriveRecording(std::string& error);
