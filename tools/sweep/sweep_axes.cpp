// The sweep's varied dimensions and the machines of its grid.
#include "tools/sweep/sweep_axes.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include <platform/i18n/i18n.h>

#include "machine/machine_file.h"
#include "machine/machine_values.h"
#include "tools/sweep/sweep_files.h"

namespace {

bool ReadNumber(const std::string& text, double& value) {
    auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && status == std::errc() && end == text.data() + text.size() &&
           std::isfinite(value);
}

// Evenly spaced values carry the rounding of their arithmetic (0.30000000000000004); twelve
// digits are more than any machine is built to, and the rows and files then read as typed.
double Tidy(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.12g", value);
    return std::strtod(text, nullptr);
}

bool ParseRange(const std::string& spec, std::vector<double>& values) {
    const size_t first = spec.find(':'), second = spec.find(':', first + 1);
    if (second == std::string::npos || spec.find(':', second + 1) != std::string::npos)
        return false;
    double from = 0, to = 0, count = 0;
    if (!ReadNumber(spec.substr(0, first), from) ||
        !ReadNumber(spec.substr(first + 1, second - first - 1), to) ||
        !ReadNumber(spec.substr(second + 1), count) || count != std::floor(count) || count < 1 ||
        count > kMaxAxisValues || from > to)
        return false;
    const long n = static_cast<long>(count);
    for (long i = 0; i < n; ++i)
        values.push_back(n == 1 ? from : Tidy(from + (to - from) * i / (n - 1)));
    return true;
}

bool ParseList(const std::string& spec, std::vector<double>& values) {
    size_t start = 0;
    while (values.size() <= static_cast<size_t>(kMaxAxisValues)) {
        const size_t comma = spec.find(',', start);
        double value = 0;
        if (!ReadNumber(spec.substr(start, comma == std::string::npos ? comma : comma - start),
                        value))
            return false;
        values.push_back(value);
        if (comma == std::string::npos) return true;
        start = comma + 1;
    }
    return false;
}

// The crank speed and the friction are floats wherever the program holds them.
bool TakenAsFloat(const std::string& path) {
    return path == "drive.crank_speed" || path == "contact.friction";
}

} // namespace

bool ParseVary(const std::string& text, SweepAxis& axis, std::string& error) {
    axis = SweepAxis{};
    const size_t equals = text.find('=');
    axis.path = text.substr(0, equals);
    if (equals == std::string::npos) {
        error = FormatText(_("--vary needs NAME=FROM:TO:COUNT, not '%s'"), text.c_str());
        return false;
    }
    if (!CheckMachinePath(axis.path, error)) {
        error = FormatText(_("--vary %s"), error.c_str());
        return false;
    }
    const std::string spec = text.substr(equals + 1);
    const bool ok = spec.find(':') != std::string::npos ? ParseRange(spec, axis.values)
                                                        : ParseList(spec, axis.values);
    if (!ok) {
        error = FormatText(_("--vary %s: '%s' is not FROM:TO:COUNT (finite numbers, FROM no "
                             "larger than TO, COUNT 1 to %ld) or a list 1,2,3"),
                           axis.path.c_str(), spec.c_str(), kMaxAxisValues);
        return false;
    }
    axis.single = TakenAsFloat(axis.path);
    if (axis.single)
        for (double& value : axis.values)
            value = static_cast<float>(value);
    return true;
}

SweepAxis FloatAxis(const std::string& path, const std::vector<float>& values) {
    SweepAxis axis;
    axis.path = path;
    axis.values.assign(values.begin(), values.end());
    axis.single = true;
    return axis;
}

std::string AxisValueText(const SweepAxis& axis, double value) {
    if (axis.single) return FloatText(static_cast<float>(value));
    char text[32];
    auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

std::string CellMachineName(size_t index) {
    char name[32];
    std::snprintf(name, sizeof name, "machines/%04zu.toml", index);
    return name;
}

std::vector<Cell> VaryGrid(const std::vector<SweepAxis>& axes, const Machine& base,
                           const std::string& folder, std::vector<Machine>& machines) {
    size_t total = 1;
    for (const SweepAxis& axis : axes)
        total *= axis.values.size();
    std::vector<Cell> cells(total);
    machines.assign(total, base);
    for (size_t i = 0; i < total; ++i) {
        Cell& cell = cells[i];
        std::vector<MachineValue> values;
        size_t rest = i;
        for (const SweepAxis& axis : axes) {
            const double value = axis.values[rest % axis.values.size()];
            rest /= axis.values.size();
            values.push_back({axis.path, value});
            cell.values.push_back(value);
            cell.prefix += AxisValueText(axis, value) + ",";
        }
        Machine varied;
        if (!VaryMachine(base, values, varied, cell.infeasible)) continue;
        machines[i] = varied;
        cell.prefix += CellMachineName(i);
        cell.machine = folder + "/" + CellMachineName(i);
        cell.crankSpeed = static_cast<float>(varied.drive.crankSpeed);
        cell.friction = static_cast<float>(varied.contact.friction);
    }
    return cells;
}

bool WriteMachineFile(const std::string& path, const Machine& machine, std::string& error) {
    return WriteFileAtomically(path, MachineText(machine), error);
}
