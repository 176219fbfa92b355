// --help and --version, answered before anything starts: the usage or the version on stdout,
// exit code 0, no window and no log. The programs' other arguments are theirs to read.
#pragma once

#include <string>

// Ends the process with code 0 when an argument is exactly "--help", "-h" or "--version";
// returns when there is none.
void AnswerHelpOrVersion(int argc, char** argv, const char* program, const char* usage);

// koltrep's --help text in the user's language, without the data folders' lines.
std::string KoltrepUsage();
// The --record and --trace lines of KoltrepUsage(), as their catalogue id (Translate it).
extern const char kDriveOptionsUsage[];
// The --machine, --crank-speed and --friction lines of kKoltrepUsage.
extern const char kMachineOptionsUsage[];

// One line on stderr for each argument koltrep does not know. Such arguments are still
// ignored, as they always were; the line tells a mistyped option from a full-screen start.
void ReportUnknownArguments(int argc, char** argv);
