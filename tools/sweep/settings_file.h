// The settings file beside a sweep's results (sweep.settings): what the rows were measured with
// and in which units, so that the results can be read without the command line that made them,
// and a resumed sweep can tell that it is completing rows of its own settings.
#pragma once

#include <cstdint>
#include <string>

struct SweepRecord {
    std::string version; // the program's
    long ticks = 0;
    long settle = 0;
    uint64_t seed = 0;
    int repeats = 0;
    std::string crankSpeeds; // the grid, as given
    std::string frictions;
    std::string script;     // its path; empty: UP held from the first tick
    std::string scriptHash; // of its text, which the rows depend on, wherever it lies
    std::string machine;    // empty: the program's own machine
    // With --vary only: the varied key paths, comma-joined, each axis as given, and the hash of
    // the machine they vary (the --machine file's or the built-in one's).
    std::string vary;
    std::string varyValues;
    std::string baseHash;
};

// The file's text: the fields, then the unit of each column of `header` (the results' headers,
// comma-joined), once each.
std::string FormatSweepRecord(const SweepRecord& record, const std::string& header);

// The fields a resume must agree on, read from `text`, against this sweep's; "" when they agree,
// else which differ (or that the file is not one of these).
std::string RecordDifferences(const std::string& text, const SweepRecord& now);
