// The optimiser's CSV rows, written and read back.
#include "tools/optimize/optimize_files.h"

#include <charconv>
#include <cstdio>
#include <cmath>
#include <sstream>

#include <platform/i18n/i18n.h>

#include "tools/sweep/sweep_runs.h"

namespace {

const char kPartialMark[] = "# koltrep-optimize: PARTIAL results, settings ";

// A reason may hold commas and quotes: quoted, its quotes doubled.
std::string QuotedField(const std::string& text) {
    std::string field = "\"";
    for (char c : text)
        field += c == '"' ? std::string("\"\"") : std::string(1, c == '\n' ? ' ' : c);
    return field + "\"";
}

std::vector<std::string> SplitRow(const std::string& line) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"')
            fields.back() += line[++i];
        else if (c == '"')
            quoted = !quoted;
        else if (c == ',' && !quoted)
            fields.emplace_back();
        else
            fields.back() += c;
    }
    return fields;
}

bool ReadNumber(const std::string& text, double& value) {
    auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && status == std::errc() && end == text.data() + text.size() &&
           std::isfinite(value);
}

bool ReadWhole(const std::string& text, int& value) {
    auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && status == std::errc() && end == text.data() + text.size() && value >= 0;
}

bool ReadRow(const std::string& line, size_t params, size_t objectives, Candidate& candidate) {
    std::vector<std::string> f = SplitRow(line);
    if (f.size() != 4 + params + 2 * objectives) return false;
    bool ok = ReadWhole(f[0], candidate.generation) && ReadWhole(f[1], candidate.index);
    candidate.values.assign(params, 0.0);
    for (size_t p = 0; p < params; ++p)
        ok = ok && ReadNumber(f[2 + p], candidate.values[p]);
    const std::string& feasible = f[2 + params + 2 * objectives];
    candidate.score = Score{};
    candidate.score.feasible = feasible == "1";
    candidate.score.reason = f.back();
    if (!candidate.score.feasible) {
        // An infeasible candidate has a reason and no figures.
        for (size_t k = 2 + params; k < 2 + params + 2 * objectives; ++k)
            ok = ok && f[k].empty();
        return ok && feasible == "0" && !f.back().empty();
    }
    candidate.score.mean.assign(objectives, 0.0);
    candidate.score.sd.assign(objectives, 0.0);
    for (size_t k = 0; k < objectives; ++k)
        ok = ok && ReadNumber(f[2 + params + k], candidate.score.mean[k]) &&
             ReadNumber(f[2 + params + objectives + k], candidate.score.sd[k]);
    return ok && f.back().empty();
}

void AppendFigures(std::string& row, const Candidate& candidate) {
    for (double value : candidate.values)
        row += "," + NumberText(value);
    for (double mean : candidate.score.mean)
        row += "," + NumberText(mean);
    for (double sd : candidate.score.sd)
        row += "," + NumberText(sd);
}

std::string FiguresHeader(const OptimizeOptions& options) {
    std::string header;
    for (const ParamRange& param : options.params)
        header += "," + param.path;
    for (const char* part : {"_mean", "_sd"})
        for (const Objective& objective : options.objectives)
            header += std::string(",") + MeasureName(objective.measure) + part;
    return header;
}

} // namespace

std::string NumberText(double value) {
    char buffer[32];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string CandidatesHeader(const OptimizeOptions& options) {
    return "generation,index" + FiguresHeader(options) + ",feasible,reason";
}

std::string CandidateRow(const Candidate& candidate, size_t objectives) {
    std::string row = std::to_string(candidate.generation) + "," + std::to_string(candidate.index);
    if (!candidate.score.feasible) {
        // An infeasible candidate has no figures: its fields stay empty, not zero.
        std::string empty(2 * objectives, ',');
        for (double value : candidate.values)
            row += "," + NumberText(value);
        return row + empty + ",0," + QuotedField(candidate.score.reason) + "\n";
    }
    AppendFigures(row, candidate);
    return row + ",1,\n";
}

std::string FrontCsv(const OptimizeOptions& options, const std::vector<Candidate>& front) {
    std::string text = "member,generation,index" + FiguresHeader(options) + "\n";
    char member[32];
    for (size_t m = 0; m < front.size(); ++m) {
        std::snprintf(member, sizeof member, "%03zu", m);
        text += std::string(member) + "," + std::to_string(front[m].generation) + "," +
                std::to_string(front[m].index);
        AppendFigures(text, front[m]);
        text += "\n";
    }
    return text;
}

std::string SettingsLine(const OptimizeOptions& options, const std::string& machineText,
                         const std::string& scriptText) {
    std::ostringstream text;
    text << "population " << options.population << " seed " << options.seed << " ticks "
         << options.ticks << " settle " << options.settle << " repeats " << options.repeats;
    for (const ParamRange& param : options.params)
        text << " param " << param.path << "=" << NumberText(param.low) << ":"
             << NumberText(param.high);
    for (const Objective& objective : options.objectives)
        text << " objective " << MeasureName(objective.measure)
             << (objective.maximize ? ":max" : ":min");
    text << " machine " << ScriptHash(machineText) << " script " << ScriptHash(scriptText);
    return text.str();
}

std::string PartialText(const std::string& settings, const OptimizeOptions& options,
                        const std::deque<Candidate>& candidates) {
    std::string text = kPartialMark + settings + "\n" + CandidatesHeader(options) + "\n";
    for (const Candidate& candidate : candidates)
        text += CandidateRow(candidate, options.objectives.size());
    return text;
}

bool ReadPartial(const std::string& text, const std::string& settings,
                 const OptimizeOptions& options, std::vector<Candidate>& candidates,
                 std::string& error) {
    std::istringstream in(text);
    std::string line;
    std::getline(in, line);
    if (line != kPartialMark + settings) {
        error = _("was made with other settings (or is no partial file of this program)");
        return false;
    }
    if (!std::getline(in, line) || line != CandidatesHeader(options)) {
        error = _("line 2 is not the candidates' header");
        return false;
    }
    size_t number = 2;
    for (; std::getline(in, line); ++number) {
        Candidate candidate;
        if (!ReadRow(line, options.params.size(), options.objectives.size(), candidate)) {
            error = FormatText(_("line %zu is no candidate's row"), number + 1);
            return false;
        }
        candidates.push_back(candidate);
    }
    return true;
}
