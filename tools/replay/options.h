// The replay runner's command line.
#pragma once

#include <cstdint>
#include <string>

struct ReplayOptions {
    std::string script;
    long ticks = 0; // 0: the count the script states, else its last event's tick + 1
    std::string trace;
    bool traceSteps = false; // one trace row per physics step rather than per tick
    bool measures = false;   // the trace gains the walk's measures' columns
    bool noDraw = false;
    std::string framesDir;
    long every = 0; // 1 when --frames comes without --every
    std::string shot;
    std::string video;   // every drawn tick as one frame of a video at 20 frames a second
    bool timing = false; // print tick wall times, start-up time, allocations and memory
    // Control inputs to start from in place of the program's own (a sweep's cell).
    bool setCrankSpeed = false;
    float crankSpeed = 0.0f;
    bool setFriction = false;
    float friction = 0.0f;
    // A sweep's repeat: the start moved by the offsets this seed draws.
    bool perturb = false;
    uint64_t perturbSeed = 0;
    // The machine file to build; none: the one the script names, else the built-in machine.
    std::string machine;
    // A file of cells to run one after another, each with its own trace (the sweep's batches).
    std::string cells;
};

// The usage lines, as their catalogue id (Translate it).
extern const char kReplayUsage[];

// False with a one-line reason for anything missing, unknown, repeated or out of range.
bool ParseReplayOptions(int argc, char** argv, ReplayOptions& options, std::string& error);
