// --data DIR, for koltrep and its tools: the folder the data files are read from, in place of
// both the installed data and the current folder (KOLTREP_DATA_DIR does the same).
#pragma once

#include <string>
#include <vector>

// Takes --data DIR out of argv, so the rest can be read as before, and makes it the data
// folder. False with a one-line reason on a missing or repeated value, or when the folder
// chosen (by --data or KOLTREP_DATA_DIR) is not a folder.
bool TakeDataOption(int& argc, char** argv, std::string& error);

// The data files a run reads, as the program will find them: for each, the first data folder
// that holds it. They are inputs like any other, so that no output replaces them.
std::vector<std::string> DataFilesRead();

// The end of a --help text: where this program reads its data files, as things stand.
std::string DataLookupHelp();
