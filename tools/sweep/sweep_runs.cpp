// Run rows, the spread of a cell's repeats, and the partial file a stopped sweep leaves.
#include "tools/sweep/sweep_runs.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string_view>

#include <platform/i18n/i18n.h>

const char kRunCsvHeader[] = "crank_speed,friction,repeat,speed,heading_drift,tip_tick,"
                             "stride_length,foot_height_variation,duty_factor,cost_of_transport";
const char kSpreadCsvHeader[] =
    "crank_speed,friction,repeats,speed_mean,speed_sd,speed_min,speed_max,heading_drift_mean,"
    "heading_drift_sd,heading_drift_min,heading_drift_max,tip_share,tip_tick_median,"
    "stride_length_mean,foot_height_variation_mean,duty_factor_mean,cost_of_transport_mean";

namespace {

const char kPartialMark[] = "# koltrep-sweep: PARTIAL results";

void AppendNumber(std::string& out, double value) {
    char buffer[64];
    auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 9);
    out.append(buffer, result.ptr);
}

std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    while (true) {
        size_t at = line.find(',', start);
        fields.push_back(line.substr(start, at == std::string_view::npos ? at : at - start));
        if (at == std::string_view::npos) return fields;
        start = at + 1;
    }
}

template <typename Number> bool Read(std::string_view text, Number& value) {
    auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && status == std::errc() && end == text.data() + text.size();
}

uint64_t Fnv1a(const std::string& text) {
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash;
}

} // namespace

uint64_t RepeatSeed(uint64_t seed, int repeat) {
    return seed + static_cast<uint64_t>(repeat);
}

namespace {

// A row's leading fields: the varied values and machine file, or the crank speed and friction.
std::string Prefix(const Cell& cell) {
    if (!cell.prefix.empty()) return cell.prefix;
    std::string line;
    AppendNumber(line, cell.crankSpeed);
    line += ',';
    AppendNumber(line, cell.friction);
    return line;
}

// The fields before the repeat and the measures: two without --vary (the crank speed and the
// friction), else one an axis and the machine file's.
size_t PrefixFields(const std::vector<Cell>& cells) {
    if (cells.empty() || cells[0].prefix.empty()) return 2;
    return static_cast<size_t>(std::count(cells[0].prefix.begin(), cells[0].prefix.end(), ',')) + 1;
}

// The legacy header's columns after the crank speed and friction.
std::string HeaderTail(const char* header) {
    return std::string(header).substr(std::strlen("crank_speed,friction"));
}

// An empty field for each column of the header's tail.
std::string EmptyFields(const char* header) {
    const std::string tail = HeaderTail(header);
    return std::string(static_cast<size_t>(std::count(tail.begin(), tail.end(), ',')), ',');
}

// A free text as one CSV field: quoted, its quotes doubled.
std::string CsvText(const std::string& text) {
    std::string field = "\"";
    for (char c : text)
        field += c == '"' ? std::string("\"\"") : std::string(1, c == '\n' ? ' ' : c);
    return field + "\"";
}

} // namespace

std::string RowHeader(const std::vector<std::string>& axes, const char* header, bool cellRows) {
    if (axes.empty()) return header;
    std::string text;
    for (const std::string& axis : axes)
        text += axis + ",";
    return text + "machine" + HeaderTail(header) + (cellRows ? ",infeasible" : "");
}

std::string FormatInfeasibleRow(const Cell& cell, bool withRepeats) {
    // Without repeats a cell row has the run row's columns but the repeat; with them, the
    // spread's, whose repeats column says 0.
    const std::string empties =
        withRepeats ? ",0" + EmptyFields(kSpreadCsvHeader).substr(1) : EmptyFields(kSweepCsvHeader);
    return cell.prefix + empties + "," + CsvText(cell.infeasible) + "\n";
}

std::string FormatRunRow(const Cell& cell, int repeat, const GaitMeasures& measures) {
    if (repeat < 0 && cell.prefix.empty())
        return FormatSweepRow(cell.crankSpeed, cell.friction, measures);
    std::string line = Prefix(cell) + ',';
    if (repeat >= 0) line += std::to_string(repeat) + ',';
    AppendNumber(line, measures.speed);
    line += ',';
    AppendNumber(line, measures.headingDrift);
    line += ',';
    if (measures.tipTick >= 0) line += std::to_string(measures.tipTick);
    AppendWalkFields(line, measures.walk);
    return line + '\n';
}

bool ParseRunRow(const std::string& row, bool withRepeat, float& crankSpeed, float& friction,
                 int& repeat, GaitMeasures& measures) {
    std::string prefix;
    if (!ParseRunRow(row, 2, withRepeat, prefix, repeat, measures)) return false;
    const size_t comma = prefix.find(',');
    return Read(std::string_view(prefix).substr(0, comma), crankSpeed) &&
           Read(std::string_view(prefix).substr(comma + 1), friction);
}

bool ParseRunRow(const std::string& row, size_t prefixFields, bool withRepeat, std::string& prefix,
                 int& repeat, GaitMeasures& measures) {
    std::string_view line(row);
    if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
    std::vector<std::string_view> f = Fields(line);
    if (f.size() != prefixFields + (withRepeat ? 4u : 3u) + kWalkFieldCount) return false;
    size_t i = prefixFields;
    repeat = -1;
    measures = GaitMeasures{};
    prefix.assign(line.data(), f[prefixFields - 1].data() + f[prefixFields - 1].size());
    if (withRepeat && (!Read(f[i++], repeat) || repeat < 0)) return false;
    if (!Read(f[i++], measures.speed) || !Read(f[i++], measures.headingDrift)) return false;
    if (!f[i].empty() && !(Read(f[i], measures.tipTick) && measures.tipTick >= 0)) return false;
    return ReadWalkFields(&f[i + 1], measures.walk);
}

namespace {

// The mean over the repeats that have the measure; NaN when none has.
double MeanOf(const std::vector<GaitMeasures>& repeats, double WalkMeasures::*measure) {
    double sum = 0;
    int count = 0;
    for (const GaitMeasures& m : repeats)
        if (!std::isnan(m.walk.*measure)) {
            sum += m.walk.*measure;
            ++count;
        }
    return count > 0 ? sum / count : NAN;
}

} // namespace

Spread SpreadOf(const std::vector<GaitMeasures>& repeats) {
    Spread s;
    s.repeats = repeats.size();
    if (repeats.empty()) return s;
    double n = static_cast<double>(repeats.size());
    s.speedMin = s.speedMax = repeats[0].speed;
    s.driftMin = s.driftMax = repeats[0].headingDrift;
    std::vector<long> tips;
    for (const GaitMeasures& m : repeats) {
        s.speedMean += m.speed;
        s.driftMean += m.headingDrift;
        s.speedMin = std::min(s.speedMin, m.speed);
        s.speedMax = std::max(s.speedMax, m.speed);
        s.driftMin = std::min(s.driftMin, m.headingDrift);
        s.driftMax = std::max(s.driftMax, m.headingDrift);
        if (m.tipTick >= 0) tips.push_back(m.tipTick);
    }
    s.speedMean /= n;
    s.driftMean /= n;
    if (repeats.size() > 1) {
        for (const GaitMeasures& m : repeats) {
            s.speedSd += (m.speed - s.speedMean) * (m.speed - s.speedMean);
            s.driftSd += (m.headingDrift - s.driftMean) * (m.headingDrift - s.driftMean);
        }
        s.speedSd = std::sqrt(s.speedSd / (n - 1));
        s.driftSd = std::sqrt(s.driftSd / (n - 1));
    }
    s.tipShare = static_cast<double>(tips.size()) / n;
    s.walkMean.strideLength = MeanOf(repeats, &WalkMeasures::strideLength);
    s.walkMean.footHeightVariation = MeanOf(repeats, &WalkMeasures::footHeightVariation);
    s.walkMean.dutyFactor = MeanOf(repeats, &WalkMeasures::dutyFactor);
    s.walkMean.costOfTransport = MeanOf(repeats, &WalkMeasures::costOfTransport);
    if (!tips.empty()) {
        std::sort(tips.begin(), tips.end());
        size_t mid = tips.size() / 2;
        s.tipTickMedian = tips.size() % 2 ? static_cast<double>(tips[mid])
                                          : (static_cast<double>(tips[mid - 1]) + tips[mid]) / 2;
    }
    return s;
}

std::string FormatSpreadRow(const Cell& cell, const Spread& s) {
    std::string line = Prefix(cell) + ',' + std::to_string(s.repeats);
    for (double value : {s.speedMean, s.speedSd, s.speedMin, s.speedMax, s.driftMean, s.driftSd,
                         s.driftMin, s.driftMax, s.tipShare}) {
        line += ',';
        AppendNumber(line, value);
    }
    line += ',';
    if (s.tipTickMedian >= 0) AppendNumber(line, s.tipTickMedian);
    AppendWalkFields(line, s.walkMean);
    return line + '\n';
}

std::string ScriptHash(const std::string& scriptText) {
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(Fnv1a(scriptText)));
    return hex;
}

std::string SweepSettings(long ticks, long settle, int repeats, uint64_t seed,
                          const std::string& scriptText) {
    char text[160];
    std::snprintf(text, sizeof text, "ticks=%ld settle=%ld repeats=%d seed=%llu script=%s", ticks,
                  settle, repeats, static_cast<unsigned long long>(seed),
                  ScriptHash(scriptText).c_str());
    return text;
}

std::string PartialText(const std::string& settings, const std::string& header,
                        const std::vector<Run>& runs) {
    size_t done =
        std::count_if(runs.begin(), runs.end(), [](const Run& r) { return !r.row.empty(); });
    std::string text = std::string(kPartialMark) + " (" + std::to_string(done) + " of " +
                       std::to_string(runs.size()) +
                       " runs); the same sweep with --resume completes them. " + settings + "\n";
    text += header;
    text += '\n';
    for (const Run& run : runs)
        text += run.row;
    return text;
}

namespace {

// Why a row read back from a partial file cannot be taken as a run's result, or "" when it can:
// a hand-edited or damaged file must not put figures into the results that no run gave.
std::string RowFault(std::string_view line, size_t prefixFields, bool varied, bool withRepeat,
                     long ticks) {
    std::vector<std::string_view> f = Fields(line);
    // The walk's measures follow the tip-over tick.
    const size_t tipAt = prefixFields + (withRepeat ? 3 : 2);
    const size_t fields = tipAt + 1 + kWalkFieldCount;
    if (f.size() != fields) return FormatText(_("has %zu fields, not %zu"), f.size(), fields);
    // A varied row names its machine file: its values must match a cell's as text.
    for (size_t i = varied ? prefixFields : 0; i < f.size(); ++i) {
        if (i >= tipAt && f[i].empty()) continue; // no tip-over, or a measure the run lacks
        double value = 0;
        if (!Read(f[i], value))
            return FormatText(_("'%.*s' is not a number"), static_cast<int>(f[i].size()),
                              f[i].data());
        if (!std::isfinite(value))
            return FormatText(_("'%.*s' is not a finite number"), static_cast<int>(f[i].size()),
                              f[i].data());
        // Stride, height variation, duty factor and cost of transport are never negative.
        if (i > tipAt && value < 0)
            return FormatText(_("the measure '%.*s' is below 0"), static_cast<int>(f[i].size()),
                              f[i].data());
    }
    double speed = 0, duty = 0;
    long tip = -1;
    Read(f[tipAt - 2], speed);
    if (speed < 0) return FormatText(_("the speed %g is below 0"), speed);
    const std::string_view tipField = f[tipAt];
    if (!tipField.empty() && (!Read(tipField, tip) || tip < 0 || tip >= ticks))
        return FormatText(_("the tip-over tick %.*s is not one of the %ld ticks run"),
                          static_cast<int>(tipField.size()), tipField.data(), ticks);
    if (Read(f[tipAt + 3], duty) && duty > 1)
        return FormatText(_("the duty factor %g is above 1"), duty);
    return "";
}

} // namespace

bool TakePartialRows(const std::string& text, const std::string& settings, bool withRepeat,
                     long ticks, const std::vector<Cell>& cells, std::vector<Run>& runs,
                     std::string& error) {
    return TakePartialRows("sweep.partial.csv", text, settings,
                           withRepeat ? kRunCsvHeader : kSweepCsvHeader, withRepeat, ticks, cells,
                           runs, error);
}

bool TakePartialRows(const std::string& path, const std::string& text, const std::string& settings,
                     const std::string& header, bool withRepeat, long ticks,
                     const std::vector<Cell>& cells, std::vector<Run>& runs, std::string& error) {
    const size_t prefixFields = PrefixFields(cells);
    const bool varied = !cells.empty() && !cells[0].prefix.empty();
    // Without --vary a run is known by its crank speed and friction as floats, however the
    // file spells them; a varied run by its leading fields as written.
    auto key = [varied](const std::string& prefix, int repeat, const Cell* cell) {
        if (cell != nullptr)
            return (varied ? cell->prefix
                           : FloatText(cell->crankSpeed) + "," + FloatText(cell->friction)) +
                   "|" + std::to_string(repeat);
        float crank = 0, friction = 0;
        const size_t comma = prefix.find(',');
        if (!varied && Read(std::string_view(prefix).substr(0, comma), crank) &&
            Read(std::string_view(prefix).substr(comma + 1), friction))
            return FloatText(crank) + "," + FloatText(friction) + "|" + std::to_string(repeat);
        return prefix + "|" + std::to_string(repeat);
    };
    std::map<std::string, size_t> index;
    for (size_t i = 0; i < runs.size(); ++i)
        index[key("", runs[i].repeat, &cells[runs[i].cell])] = i;
    std::vector<int> takenFrom(runs.size(), 0); // the line each run's row came from
    std::string_view rest(text);
    auto nextLine = [&rest](std::string_view& line) {
        if (rest.empty()) return false;
        size_t end = rest.find('\n');
        line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        return true;
    };
    std::string_view line;
    if (!nextLine(line) || line.rfind(kPartialMark, 0) != 0) {
        error = FormatText(_("%s is not a partial file of koltrep-sweep"), path.c_str());
        return false;
    }
    size_t at = line.rfind(" ticks=");
    if (at == std::string::npos || line.substr(at + 1) != settings) {
        const std::string found(at == std::string::npos ? "none" : line.substr(at + 1));
        error = FormatText(_("%s holds the rows of other settings (%s; this sweep: %s)"),
                           path.c_str(), found.c_str(), settings.c_str());
        return false;
    }
    if (!nextLine(line) || line != header) {
        error = FormatText(_("%s line 2 is not the header of this sweep's rows"), path.c_str());
        return false;
    }
    for (int number = 3; nextLine(line); ++number) {
        // Every row is written with its line break: one without is what a cut file ends in.
        if (rest.empty() && text.back() != '\n') {
            error =
                FormatText(_("%s line %d is cut short: the file is damaged"), path.c_str(), number);
            return false;
        }
        std::string fault = RowFault(line, prefixFields, varied, withRepeat, ticks);
        std::string row = std::string(line) + '\n';
        std::string prefix;
        int repeat = -1;
        GaitMeasures measures;
        auto found = index.end();
        if (fault.empty() && ParseRunRow(row, prefixFields, withRepeat, prefix, repeat, measures))
            found = index.find(key(prefix, repeat, nullptr));
        if (!fault.empty()) {
            error = FormatText(_("%s line %d: %s"), path.c_str(), number, fault.c_str());
        } else if (found == index.end()) {
            error = FormatText(_("%s line %d is no run of this sweep"), path.c_str(), number);
        } else if (takenFrom[found->second] != 0) {
            error = FormatText(_("%s line %d repeats the run of line %d"), path.c_str(), number,
                               takenFrom[found->second]);
        } else {
            takenFrom[found->second] = number;
            runs[found->second].row = row;
            continue;
        }
        return false;
    }
    return true;
}
