// The panel's "Save as": the machine as a machine file, at a path the user typed. The files the
// session reads or writes are never written over, nor an existing file without being asked twice.
#pragma once

#include <string>

#include "machine/machine.h"

// A file no save may write over, named for messages as `what` ("the machine file").
void KeepFromMachineSaves(const std::string& what, const std::string& path);

enum class SaveOutcome {
    kSaved,    // `message` is the path written, absolute
    kAskAgain, // the file exists: `message` says to press again to replace it
    kRefused,  // `message` is the reason; nothing was written
};

// Writes MachineText(machine) to `path`; an existing file only with `replace`.
SaveOutcome SaveMachineFile(const Machine& machine, const std::string& path, bool replace,
                            std::string& message);
