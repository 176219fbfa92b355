// koltrep-evaluate's command line: koltrep-replay's options for a run without drawing, and the
// stop at the tip-over.
#pragma once

#include <string>

#include "tools/replay/options.h"

struct EvaluateOptions {
    ReplayOptions replay; // noDraw always set; nothing that needs a picture
    bool stopAtTip = false;
};

// The usage lines, as their catalogue id (Translate it).
extern const char kEvaluateUsage[];
std::string EvaluateHelp();

// False with a one-line reason, as ParseReplayOptions, and for the options that need drawing
// or the program's own loop (--frames, --every, --shot, --video, --timing).
bool ParseEvaluateOptions(int argc, char** argv, EvaluateOptions& options, std::string& error);
