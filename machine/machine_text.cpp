// The machine written out as a commented file.
#include "machine/machine_file.h"

#include <charconv>
#include <cstring>

#include "machine/machine_keys.h"

namespace {

// The shortest text that reads back to the same double, always a TOML float.
std::string NumberText(double value) {
    char text[40];
    auto [end, status] = std::to_chars(text, text + sizeof text, value, std::chars_format::general);
    std::string number(text, status == std::errc() ? end : text);
    if (number.find_first_of(".eEn") == std::string::npos) number += ".0";
    return number;
}

std::string ValueText(const MachineKey& key, Machine& machine) {
    if (key.count == 1) return NumberText(key.at(machine, 0));
    std::string text = "[";
    for (int i = 0; i < key.count; ++i)
        text += (i > 0 ? ", " : "") + NumberText(key.at(machine, i));
    return text + "]";
}

constexpr size_t kCommentColumn = 34;

} // namespace

std::string MachineText(const Machine& machine) {
    Machine copy = machine;
    std::string text =
        "# A Koltrep walking machine: every number that shapes it and its control.\n"
        "# Load it with --machine FILE (koltrep, koltrep-replay, koltrep-sweep). Every key must\n"
        "# be present and no other; values are checked before anything is built.\n"
        "# Lengths are in metres in the build frame: each leg is laid out in a plane z = constant\n"
        "# with its links rising along +y from the base link at y = 0, its crank straight up;\n"
        "# the machine is then turned so that the legs hang below the chassis.\n";
    for (int t = 0; t < kMachineTableCount; ++t) {
        text += std::string("\n[") + kMachineTables[t].name + "]\n# " + kMachineTables[t].meaning +
                "\n";
        for (int k = 0; k < kMachineKeyCount; ++k) {
            const MachineKey& key = kMachineKeys[k];
            if (std::strcmp(key.table, kMachineTables[t].name) != 0) continue;
            std::string line = std::string(key.name) + " = " + ValueText(key, copy);
            line.resize(std::max(line.size() + 1, kCommentColumn), ' ');
            text += line + "# " + key.unit + ": " + key.meaning + "\n";
        }
    }
    return text;
}
