// The replay runner's command line.
#pragma once

#include <string>

struct ReplayOptions {
    std::string script;
    long ticks = 0;
    std::string trace;
    bool noDraw = false;
    std::string framesDir;
    long every = 0;
    std::string shot;
    std::string video;   // every drawn tick as one frame of a video at 20 frames a second
    bool timing = false; // print tick wall times, start-up time, allocations and memory
    // Control inputs to start from in place of the program's own (a sweep's cell).
    bool setCrankSpeed = false;
    float crankSpeed = 0.0f;
    bool setFriction = false;
    float friction = 0.0f;
};

extern const char kReplayUsage[];

// False with a one-line reason for anything missing, unknown, repeated or out of range.
bool ParseReplayOptions(int argc, char** argv, ReplayOptions& options, std::string& error);
