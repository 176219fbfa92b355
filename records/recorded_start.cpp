// A recorded drive's start, as comment lines of its key script.
#include "records/recorded_start.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "records/text_lines.h"

namespace {

constexpr std::string_view kMachinePrefix = "# machine: ";
constexpr std::string_view kStartPrefix = "# start:";

bool ReadFloat(std::string_view text, float& value) {
    auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value);
    return status == std::errc() && end == text.data() + text.size() && std::isfinite(value);
}

void ReadMachineLine(std::string_view rest, RecordedStart& start) {
    const size_t space = rest.find(' ');
    start.machineHash = std::string(rest.substr(0, space));
    start.machinePath = space == std::string_view::npos ? "" : std::string(rest.substr(space + 1));
}

// The next word of `text` after `pos`, words parted by spaces.
std::string_view NextWord(std::string_view text, size_t& pos) {
    while (pos < text.size() && text[pos] == ' ')
        ++pos;
    const size_t start = pos;
    while (pos < text.size() && text[pos] != ' ')
        ++pos;
    return text.substr(start, pos - start);
}

// "crank-speed X" and "friction X", in any order.
void ReadStartLine(std::string_view rest, RecordedStart& start) {
    std::string_view fields[4];
    int count = 0;
    size_t pos = 0;
    while (count < 4 && !(fields[count] = NextWord(rest, pos)).empty())
        ++count;
    for (int i = 0; i + 1 < count; i += 2) {
        if (fields[i] == "crank-speed")
            start.hasCrankSpeed = ReadFloat(fields[i + 1], start.crankSpeed);
        else if (fields[i] == "friction")
            start.hasFriction = ReadFloat(fields[i + 1], start.friction);
    }
}

} // namespace

std::string RecordedStartLines(const RecordedStart& start) {
    std::string text;
    if (!start.machineHash.empty()) {
        const bool nameable = start.machinePath.find_first_of("\n\r") == std::string::npos;
        text += std::string(kMachinePrefix) + start.machineHash +
                (nameable && !start.machinePath.empty() ? " " + start.machinePath : "") + "\n";
    }
    if (start.hasCrankSpeed || start.hasFriction) {
        char line[96];
        text += kStartPrefix;
        if (start.hasCrankSpeed) {
            std::snprintf(line, sizeof line, " crank-speed %.9g", start.crankSpeed);
            text += line;
        }
        if (start.hasFriction) {
            std::snprintf(line, sizeof line, " friction %.9g", start.friction);
            text += line;
        }
        text += "\n";
    }
    return text;
}

RecordedStart ReadRecordedStart(std::string_view scriptText) {
    RecordedStart start;
    TextLines lines(scriptText);
    std::string_view line;
    while (lines.Next(line)) {
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.substr(0, kMachinePrefix.size()) == kMachinePrefix)
            ReadMachineLine(line.substr(kMachinePrefix.size()), start);
        else if (line.substr(0, kStartPrefix.size()) == kStartPrefix)
            ReadStartLine(line.substr(kStartPrefix.size()), start);
    }
    return start;
}
