// Where an installed program finds its data files and writes its log. The program names both
// as it was designed to (data files relative to the current folder, the log beside the
// executable); these services keep that first and fall back on the usual Linux places.
#pragma once

#include <string>
#include <vector>

namespace platform {

// The installed data folders, in search order: ../share/koltrep beside the executable, then
// koltrep under each absolute entry of $XDG_DATA_DIRS (default /usr/local/share:/usr/share).
std::vector<std::string> InstalledDataFolders();

// The path to read a data file from that the program names relative to the current folder: the
// name itself when the current folder has it, else the first installed data folder that has
// it. Absolute names and names that climb out with ".." are taken as they are. When no place
// has the file, the name itself, and stderr gets one line (once per process) naming the folders
// searched and what to do.
std::string FindDataFile(const char* name);

// Where a log file meant for `path` is written: `path` itself when it can be written there,
// otherwise the same file name in $XDG_STATE_HOME/koltrep (default ~/.local/state/koltrep),
// made if need be, and stderr says so. `path` when neither can be written.
std::string WritableLogPath(const std::string& path);

} // namespace platform
