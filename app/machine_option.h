// --machine FILE, --crank-speed X and --friction X: the machine the program builds and the
// control inputs it starts from, taken before anything else starts, so a refused file leaves no
// window behind and no earlier recording emptied.
#pragma once

#include <string>

#include "records/recorded_start.h"

// Takes the three options out of argv and puts the machine in force. False with a one-line
// reason for a missing, repeated or unusable value or a machine file that does not check.
bool TakeMachineOptions(int& argc, char** argv, std::string& error);

// The machine file and the start values the options gave, for a recording to name; empty when
// none was given.
const RecordedStart& StartGivenByOptions();
