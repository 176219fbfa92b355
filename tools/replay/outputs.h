// The runner's files side by side: the script, the cells file and the data files it reads and
// the traces, shot, frames and video it writes must all be different files, and each output
// must be writable where it is named.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "records/batch_cells.h"
#include "tools/replay/options.h"

// The names the runner gives its frames: the tick in six or more digits, then ".png".
bool IsFrameName(std::string_view name);

// False with one line when an output would land on an input (the script, the cells file, one
// of `dataFiles`) or on another output, every cell's trace included (under any spelling or
// link), or cannot be written where it is named. Opens nothing for writing.
bool CheckReplayOutputs(const ReplayOptions& options, const std::vector<BatchCell>& cells,
                        const std::vector<std::string>& dataFiles, std::string& error);
