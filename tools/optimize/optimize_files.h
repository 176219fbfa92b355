// The optimiser's records: a row per evaluated candidate (candidates.csv, and the partial file a
// stopped search leaves), the final front (front.csv). Numbers are written in the shortest text
// that reads back as the same double, so that a resumed search ranks exactly what it ranked
// before and every run of the same inputs writes the same bytes.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "tools/optimize/objectives.h"
#include "tools/optimize/optimize_options.h"

// One evaluated candidate: generation 0 holds the base machine alone, as the reference.
struct Candidate {
    int generation = 0;
    int index = 0;
    std::vector<double> values; // per --param
    Score score;
};

std::string NumberText(double value);

// "generation,index,PATH...,NAME_mean...,NAME_sd...,feasible,reason".
std::string CandidatesHeader(const OptimizeOptions& options);
std::string CandidateRow(const Candidate& candidate, size_t objectives);

// The front's file: a row per member, numbered as its machine file front/NNN.toml.
std::string FrontCsv(const OptimizeOptions& options, const std::vector<Candidate>& front);

// The settings a partial file's rows were made with, as one line of text: everything the rows
// depend on (not the number of generations, so a finished search can be carried further).
std::string SettingsLine(const OptimizeOptions& options, const std::string& machineText,
                         const std::string& scriptText);

std::string PartialText(const std::string& settings, const OptimizeOptions& options,
                        const std::deque<Candidate>& candidates);

// The candidates of a partial file. False with a reason naming the line when the file was made
// with other settings or a row does not read.
bool ReadPartial(const std::string& text, const std::string& settings,
                 const OptimizeOptions& options, std::vector<Candidate>& candidates,
                 std::string& error);
