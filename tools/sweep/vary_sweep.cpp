// The varied sweep's machine files, names and plot axes.
#include "tools/sweep/vary_sweep.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>

#include <platform/i18n/i18n.h>

#include "machine/machine_keys.h"

std::vector<std::string> AxisPaths(const std::vector<SweepAxis>& axes) {
    std::vector<std::string> paths;
    for (const SweepAxis& axis : axes)
        paths.push_back(axis.path);
    return paths;
}

namespace {

bool SameFile(const struct stat& a, const std::string& path) {
    struct stat b {};
    return stat(path.c_str(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// An earlier sweep's grid point files that this grid has none of (a larger grid, or a point
// that is no machine now): a file in the folder must be the machine of this sweep's row.
// An input (a --machine taken from an earlier sweep) stays.
void RemoveOtherMachines(const std::string& folder, const std::vector<Cell>& cells,
                         const std::vector<std::string>& inputs) {
    DIR* listing = opendir(folder.c_str());
    if (!listing) return;
    while (const dirent* entry = readdir(listing)) {
        const std::string name = entry->d_name;
        size_t index = 0;
        auto [end, status] = std::from_chars(name.data(), name.data() + name.size(), index);
        if (name.size() < 9 || status != std::errc() || std::string(end) != ".toml" ||
            "machines/" + name != CellMachineName(index))
            continue;
        struct stat info {};
        bool input = false;
        for (const std::string& path : inputs)
            input = input ||
                    (fstatat(dirfd(listing), name.c_str(), &info, 0) == 0 && SameFile(info, path));
        if (!input && (index >= cells.size() || cells[index].machine.empty()))
            unlinkat(dirfd(listing), name.c_str(), 0);
    }
    closedir(listing);
}

} // namespace

bool WriteGridMachines(const std::string& out, const std::vector<Cell>& cells,
                       const std::vector<Machine>& machines, const std::vector<std::string>& inputs,
                       std::string& error) {
    const std::string folder = out + "/machines";
    if (mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
        const int reason = errno;
        error = FormatText(_("cannot create %s: %s"), folder.c_str(), std::strerror(reason));
        return false;
    }
    // A --machine taken from an earlier sweep's folder is read until the last run.
    for (const std::string& input : inputs) {
        struct stat info {};
        if (input.empty() || stat(input.c_str(), &info) != 0) continue;
        for (const Cell& cell : cells)
            if (!cell.machine.empty() && SameFile(info, cell.machine)) {
                error = FormatText(_("%s would overwrite %s, which the sweep reads; copy it "
                                     "elsewhere or give another --out"),
                                   cell.machine.c_str(), input.c_str());
                return false;
            }
    }
    for (size_t i = 0; i < cells.size(); ++i)
        if (!cells[i].machine.empty() && !WriteMachineFile(cells[i].machine, machines[i], error))
            return false;
    RemoveOtherMachines(folder, cells, inputs);
    return true;
}

std::string VariedCellName(const std::vector<SweepAxis>& axes, const Cell& cell) {
    std::string name;
    for (size_t a = 0; a < axes.size() && a < cell.values.size(); ++a)
        name += (a > 0 ? ", " : "") + axes[a].path + " " + AxisValueText(axes[a], cell.values[a]);
    return name;
}

namespace {

std::string AxisLabel(const SweepAxis& axis) {
    int index = 0;
    const MachineKey* key = FindMachineKey(axis.path, index);
    return key == nullptr ? axis.path : axis.path + " (" + key->unit + ")";
}

} // namespace

PlotGrid VariedPlotGrid(const std::vector<SweepAxis>& axes) {
    PlotGrid grid;
    grid.cost = true;
    grid.xLabel = AxisLabel(axes[0]);
    grid.columns = axes[0].values.size();
    size_t rows = 1;
    for (size_t a = 1; a < axes.size(); ++a) {
        rows *= axes[a].values.size();
        grid.rowsTitle += (a > 1 ? ", " : "") + axes[a].path;
        grid.rowsLabel += (a > 1 ? ", " : "") + AxisLabel(axes[a]);
    }
    // The rows in the cells' order: the second axis fastest.
    for (size_t r = 0; r < rows; ++r) {
        std::string title;
        size_t rest = r;
        for (size_t a = 1; a < axes.size(); ++a) {
            title += (a > 1 ? ", " : "") +
                     AxisValueText(axes[a], axes[a].values[rest % axes[a].values.size()]);
            rest /= axes[a].values.size();
        }
        grid.rows.push_back(title);
    }
    return grid;
}
