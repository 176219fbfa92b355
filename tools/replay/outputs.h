// The runner's files side by side: the script it reads and the trace, shot and frames it
// writes must all be different files, and each output must be writable where it is named.
#pragma once

#include <string>
#include <string_view>

#include "tools/replay/options.h"

// The names the runner gives its frames: the tick in six or more digits, then ".png".
bool IsFrameName(std::string_view name);

// False with one line when an output would land on the script or on another output (under any
// spelling or link), or cannot be written where it is named. Opens nothing for writing.
bool CheckReplayOutputs(const ReplayOptions& options, std::string& error);
