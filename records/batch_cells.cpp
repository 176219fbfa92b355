// The cells file of a batch.
#include "records/batch_cells.h"

#include <charconv>
#include <cstring>

#include <platform/i18n/i18n.h>

#include "records/key_script.h"
#include "records/text_file.h"
#include "records/text_lines.h"

namespace {

bool NextWord(std::string_view line, size_t& at, std::string_view& word) {
    size_t start = line.find_first_not_of(" \t", at);
    if (start == std::string_view::npos) return false;
    size_t end = line.find_first_of(" \t", start);
    if (end == std::string_view::npos) end = line.size();
    word = line.substr(start, end - start);
    at = end;
    return true;
}

template <typename Number> bool Whole(std::string_view text, Number& value) {
    auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && status == std::errc() && end == text.data() + text.size();
}

// One line that is not blank or a comment; false when it does not read as a cell.
bool ParseCell(std::string_view line, BatchCell& cell) {
    size_t at = 0;
    std::string_view crank, friction, perturb;
    double crankValue = 0, frictionValue = 0;
    bool ok = NextWord(line, at, crank) && NextWord(line, at, friction) &&
              NextWord(line, at, perturb) && Whole(crank, crankValue) &&
              Whole(friction, frictionValue) && crankValue >= -100 && crankValue <= 100 &&
              frictionValue >= 0 && frictionValue <= 1e9 &&
              (perturb == "-" || Whole(perturb, cell.perturbSeed));
    size_t traceStart = ok ? line.find_first_not_of(" \t", at) : std::string_view::npos;
    if (traceStart == std::string_view::npos) return false;
    cell.crankSpeed = static_cast<float>(crankValue);
    cell.friction = static_cast<float>(frictionValue);
    cell.perturb = perturb != "-";
    cell.trace = std::string(line.substr(traceStart));
    return true;
}

// "machine PATH": the path is the rest of the line, so that it may hold spaces; "-" is none.
bool TakeMachineLine(std::string_view line, std::string& machine) {
    constexpr std::string_view kWord = "machine";
    if (line.substr(0, kWord.size()) != kWord || line.size() == kWord.size() ||
        (line[kWord.size()] != ' ' && line[kWord.size()] != '\t'))
        return false;
    const size_t start = line.find_first_not_of(" \t", kWord.size());
    const std::string_view path =
        start == std::string_view::npos ? std::string_view() : line.substr(start);
    machine = path == "-" ? std::string() : std::string(path);
    return !path.empty();
}

} // namespace

bool ParseBatchCells(std::string_view text, const std::string& name, std::vector<BatchCell>& cells,
                     std::string& error) {
    cells.clear();
    TextLines lines(text);
    std::string_view line;
    std::string machine;
    while (lines.Next(line)) {
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const std::string where = name + ":" + std::to_string(lines.number()) + ": ";
        // A path is cut at its first NUL by the system: the file written would not be the
        // file checked.
        if (line.find('\0') != std::string_view::npos) {
            error = where + _("contains a NUL byte; a cells file is plain text");
            cells.clear();
            return false;
        }
        size_t first = line.find_first_not_of(" \t");
        if (first == std::string_view::npos || line[first] == '#') continue;
        if (TakeMachineLine(line.substr(first), machine)) continue;
        BatchCell cell;
        cell.line = lines.number();
        cell.machine = machine;
        if (!ParseCell(line, cell)) {
            error = where + _("not 'CRANK_SPEED FRICTION PERTURB TRACE' (crank speed from -100 "
                              "to 100, friction from 0 to 1e9, PERTURB a seed or -)");
            cells.clear();
            return false;
        }
        cells.push_back(std::move(cell));
    }
    if (cells.empty()) {
        error = FormatText(_("%s: no cells"), name.c_str());
        return false;
    }
    return true;
}

bool LoadBatchCells(const std::string& path, std::vector<BatchCell>& cells, std::string& error) {
    cells.clear();
    std::string text;
    int reason = 0;
    switch (ReadTextFile(path.c_str(), kMaxScriptBytes, text, reason)) {
    case TextFileRead::kCannotOpen:
    case TextFileRead::kCannotRead:
        error = FormatText(_("cannot read %s: %s"), path.c_str(), std::strerror(reason));
        return false;
    case TextFileRead::kTooLarge:
        error = FormatText(_("%s is larger than %zu bytes"), path.c_str(), kMaxScriptBytes);
        return false;
    case TextFileRead::kRead:
        break;
    }
    return ParseBatchCells(text, path, cells, error);
}
