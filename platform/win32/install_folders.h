// Where an installed program finds its data files and writes its log. The program names both
// as it was designed to (data files relative to the current folder, the log beside the
// executable). An installed program reads the data installed with it; the log stays beside the
// executable where that can be written and falls back on the usual Linux place.
#pragma once

#include <string>
#include <vector>

namespace platform {

// The installed data folders, in search order: ../share/koltrep beside the executable, then
// koltrep under each absolute entry of $XDG_DATA_DIRS (default /usr/local/share:/usr/share).
std::vector<std::string> InstalledDataFolders();

// ../share/koltrep beside the executable, whether or not it exists; empty when the
// executable's path is unknown.
std::string OwnDataFolder();

// The folder named by --data; it takes the place of $KOLTREP_DATA_DIR. Empty: none.
void SetDataFolder(const std::string& folder);
// The folder that replaces every other place: --data, else $KOLTREP_DATA_DIR; empty for none.
std::string DataFolderOverride();

// Where data files are looked up, in order ("." is the current folder):
// - the override alone, when there is one;
// - an installed program (its OwnDataFolder exists): its own folder, then the other installed
//   folders; the current folder is not looked at, so that stray files there change nothing;
// - otherwise (the build tree) the current folder, then the installed folders.
std::vector<std::string> DataFolders();
// The same for people: "the current folder (/path), then /usr/share/koltrep, ...".
std::string DataFoldersText();

// The path to read a data file from that the program names relative to the current folder: the
// first of DataFolders that has it. Absolute names and names that climb out with ".." are taken
// as they are. When no place has the file, the name itself, and stderr gets one line (once per
// process) naming the folders searched and what to do.
std::string FindDataFile(const char* name);

// Where a log file meant for `path` is written: `path` itself when it can be written there,
// otherwise the same file name in $XDG_STATE_HOME/koltrep (default ~/.local/state/koltrep),
// made if need be, and stderr says so. `path` when neither can be written.
std::string WritableLogPath(const std::string& path);

} // namespace platform
