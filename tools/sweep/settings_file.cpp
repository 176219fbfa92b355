// The settings file: key=value lines, one a line, written whole and read back field by field.
#include "tools/sweep/settings_file.h"

#include <algorithm>
#include <string_view>
#include <utility>
#include <vector>

#include <platform/i18n/i18n.h>

#include "machine/machine_keys.h"

namespace {

const char kRecordMark[] = "# koltrep-sweep: the settings of the results in this folder";

// Paths are the only free text; a line break in one would start a field of its own.
std::string OneLine(std::string text) {
    for (char& c : text)
        if (c == '\n' || c == '\r') c = '?';
    return text;
}

std::vector<std::pair<std::string, std::string>> Fields(const SweepRecord& r) {
    std::vector<std::pair<std::string, std::string>> fields = {
        {"version", r.version},
        {"ticks", std::to_string(r.ticks)},
        {"settle", std::to_string(r.settle)},
        {"seed", std::to_string(r.seed)},
        {"repeats", std::to_string(r.repeats)},
        {"crank_speeds", r.crankSpeeds},
        {"frictions", r.frictions},
        {"script", OneLine(r.script)},
        {"script_hash", r.scriptHash},
        {"machine", OneLine(r.machine)}};
    // A sweep without --vary keeps the file it always had.
    if (!r.vary.empty())
        fields.insert(fields.end(), {{"vary", r.vary},
                                     {"vary_values", OneLine(r.varyValues)},
                                     {"machine_hash", r.baseHash}});
    return fields;
}

// The unit of a column, by the measure its name starts with.
const char* UnitOf(std::string_view column) {
    static const std::pair<const char*, const char*> kUnits[] = {
        {"crank_speed", "rad per simulated second (the program's Rotation/Sec)"},
        {"friction", "ground friction coefficient (no unit)"},
        {"repeats", "runs"},
        {"repeat", "index of the repeat, from 0"},
        {"speed", "units per simulated second over the ground, after settling"},
        {"heading_drift", "degrees turned after settling, counter-clockwise seen from above"},
        {"tip_share", "share of the repeats that tipped over, 0 to 1"},
        {"tip_tick", "tick of the first tilt beyond 90 degrees (0.07 simulated seconds a tick); "
                     "empty: stayed upright"}};
    for (const auto& [prefix, unit] : kUnits)
        if (column.rfind(prefix, 0) == 0) return unit;
    return "";
}

// A varied key's unit and meaning, as the machine file gives them; the varied sweep's own
// columns; else the unit of a measure.
std::string ColumnUnit(const std::string& column) {
    int index = 0;
    if (const MachineKey* key = FindMachineKey(column, index))
        return std::string(key->unit) + " (" + key->meaning + ")";
    if (column == "machine") return "the row's machine file, relative to this folder";
    if (column == "infeasible")
        return "why the grid point is no machine to build; empty: it is one";
    return UnitOf(column);
}

} // namespace

std::string FormatSweepRecord(const SweepRecord& record, const std::string& header) {
    std::string text = std::string(kRecordMark) + "\n";
    for (const auto& [key, value] : Fields(record))
        text += key + "=" + value + "\n";
    size_t start = 0;
    while (start <= header.size()) {
        size_t end = std::min(header.find(',', start), header.size());
        std::string column = header.substr(start, end - start);
        if (text.find("\nunit." + column + "=") == std::string::npos)
            text += "unit." + column + "=" + ColumnUnit(column) + "\n";
        start = end + 1;
    }
    return text;
}

std::string RecordDifferences(const std::string& text, const SweepRecord& now) {
    if (text.rfind(kRecordMark, 0) != 0) return _("it is not a settings file of koltrep-sweep");
    std::string differences;
    for (const auto& [key, value] : Fields(now)) {
        // The grid is checked row by row, and the script may have moved: only what the rows'
        // figures depend on must agree.
        if (key == "crank_speeds" || key == "frictions" || key == "script" || key == "vary_values")
            continue;
        std::string line = "\n" + key + "=";
        size_t at = text.find(line);
        std::string was;
        if (at != std::string::npos) {
            size_t start = at + line.size();
            was = text.substr(start, text.find('\n', start) - start);
        }
        if (at != std::string::npos && was == value) continue;
        differences += (differences.empty() ? "" : "; ") +
                       (at == std::string::npos ? FormatText(_("%s missing"), key.c_str())
                                                : FormatText(_("%s %s there, %s now"), key.c_str(),
                                                             was.c_str(), value.c_str()));
    }
    return differences;
}
