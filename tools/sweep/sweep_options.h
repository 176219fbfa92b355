// koltrep-sweep's command line and its grid of cells.
#pragma once

#include <string>
#include <vector>

constexpr size_t kMaxCells = 10000;

struct SweepOptions {
    std::vector<float> crankSpeeds;
    std::vector<float> frictions;
    std::string script; // empty: UP held from the first tick
    long ticks = 400;
    long settle = 100;
    int jobs = 0;       // 0: one per core this process may run on
    std::string out;    // empty: koltrep-sweep in the temporary folder (the sweep runs in data/)
    std::string replay; // empty: koltrep-replay beside this program
    bool plot = true;
};

extern const char kSweepUsage[];

// "1,2,3" or "FROM:TO:COUNT" (COUNT evenly spaced values, ends included), each value within
// [low, high]; at most kMaxCells values. False with a reason otherwise.
bool ParseValueList(const std::string& text, float low, float high, const char* range,
                    std::vector<float>& values, std::string& error);

bool ParseSweepOptions(int argc, char** argv, SweepOptions& options, std::string& error);
