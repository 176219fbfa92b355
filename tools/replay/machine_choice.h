// Which machine a replay runs: the --machine file, else the one the script was recorded with,
// else the built-in one; and the control inputs the script's recording started from.
#pragma once

#include <string>

#include "records/recorded_start.h"
#include "tools/replay/options.h"

// Puts the machine in force and sets the start's crank speed and friction (the options' values
// win over the recording's). Notes on stderr when the machine differs from the recording's; false
// with the reason when a file does not check, or when the recorded machine cannot be had.
bool ChooseReplayMachine(const ReplayOptions& options, const RecordedStart& recorded,
                         std::string& error);
