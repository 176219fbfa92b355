// The optimiser's --out folder: made and locked as the sweep's, checked to take files before the
// first run, cleared of an earlier search's results, and never holding an input that a result
// would replace.
#pragma once

#include <string>

#include "tools/optimize/optimize_options.h"
#include "tools/optimize/search.h"
#include "tools/sweep/out_folder.h"

// Makes DIR, DIR/candidates and DIR/front, locks DIR for this search, refuses inputs that lie
// among the outputs, shows that DIR takes files, and removes an earlier search's results (not
// its partial file). False with the reason.
class OptimizeFolder {
  public:
    bool Prepare(const OptimizeOptions& options, bool isDefault, std::string& error);

  private:
    FolderLock lock_;
};

std::string PartialPath(const std::string& folder);
std::string CandidatesFolder(const std::string& folder);

// candidates.csv, front.csv and front/NNN.toml of a finished search. False with the reason.
bool WriteResults(const OptimizeOptions& options, const CandidateEvaluator& evaluator,
                  const std::vector<const Candidate*>& front, std::string& error);
