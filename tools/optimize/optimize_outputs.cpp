// The output folder and the finished search's files.
#include "tools/optimize/optimize_outputs.h"

#include <unistd.h>

#include <filesystem>
#include <regex>

#include <platform/i18n/i18n.h>

#include "tools/sweep/out_folder.h"
#include "tools/sweep/sweep_files.h"

namespace fs = std::filesystem;

namespace {

// Only names this program gives are removed: a user's own files in DIR stay.
void RemoveMatching(const std::string& folder, const std::regex& names) {
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error))
        if (entry.is_regular_file(error) &&
            std::regex_match(entry.path().filename().string(), names))
            fs::remove(entry.path(), error);
}

bool LiesAmongOutputs(const std::string& input, const std::string& folder) {
    if (input.empty()) return false;
    std::error_code error;
    const fs::path file = fs::weakly_canonical(input, error);
    const fs::path out = fs::weakly_canonical(folder, error);
    if (file.parent_path() == out / "candidates" || file.parent_path() == out / "front")
        return true;
    for (const char* name : {"candidates.csv", "front.csv", "front.png", "optimize.partial"})
        if (file == out / name) return true;
    return false;
}

} // namespace

std::string PartialPath(const std::string& folder) {
    return folder + "/optimize.partial";
}

std::string CandidatesFolder(const std::string& folder) {
    return folder + "/candidates";
}

bool OptimizeFolder::Prepare(const OptimizeOptions& options, bool isDefault, std::string& error) {
    const std::string& out = options.out;
    if (!MakeOutFolder(out, isDefault, error) || !lock_.Take(out, error, "koltrep-optimize"))
        return false;
    for (const std::string& input : {options.machine, options.script})
        if (LiesAmongOutputs(input, out)) {
            error = FormatText(_("%s lies among the results in %s, which this search replaces; "
                                 "copy it elsewhere first"),
                               input.c_str(), out.c_str());
            return false;
        }
    for (const char* sub : {"/candidates", "/front"})
        if (!MakeOutFolder(out + sub, false, error)) return false;
    RemoveStaleTemporaries(out);
    // Shown before the first run: a search must not run for hours to find it cannot write.
    PendingFile probe(out + "/candidates.csv");
    if (!probe.Create(error)) return false;
    probe.Abandon();
    RemoveMatching(out + "/candidates", std::regex("[0-9]+-[0-9]+\\.toml"));
    RemoveMatching(out + "/front", std::regex("[0-9]{3,}\\.toml"));
    for (const char* name : {"/candidates.csv", "/front.csv", "/front.png"})
        unlink((out + name).c_str());
    return true;
}

bool WriteResults(const OptimizeOptions& options, const CandidateEvaluator& evaluator,
                  const std::vector<const Candidate*>& front, std::string& error) {
    std::string rows = CandidatesHeader(options) + "\n";
    for (const Candidate& candidate : evaluator.Candidates())
        rows += CandidateRow(candidate, options.objectives.size());
    std::vector<Candidate> members;
    for (size_t m = 0; m < front.size(); ++m) {
        char name[48];
        std::snprintf(name, sizeof name, "/front/%03zu.toml", m);
        if (!WriteFileAtomically(options.out + name, evaluator.MachineTextOf(*front[m]), error))
            return false;
        members.push_back(*front[m]);
    }
    return WriteFileAtomically(options.out + "/candidates.csv", rows, error) &&
           WriteFileAtomically(options.out + "/front.csv", FrontCsv(options, members), error);
}
