#include "tools/replay/outputs.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <unordered_map>

#include <platform/i18n/i18n.h>
#include <platform/win32/output_files.h>

namespace {

void AddInputs(platform::OutputCheck& check, const ReplayOptions& options,
               const std::vector<std::string>& dataFiles) {
    check.Input("--script", options.script);
    if (!options.cells.empty()) check.Input("--cells", options.cells);
    if (!options.machine.empty()) check.Input("--machine", options.machine);
    for (const std::string& file : dataFiles)
        check.Input(_("the data file"), file);
}

// The folder that holds a path's last name, and that name.
void SplitPath(std::string path, std::string& folder, std::string& name) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    const size_t slash = path.rfind('/');
    folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    name = slash == std::string::npos ? path : path.substr(slash + 1);
}

// A picture is written beside its name and renamed over it, and frames are made in their
// folder: each needs a folder it may write in, known before the first tick.
bool FolderWritable(const std::string& what, const std::string& path, const std::string& folder,
                    std::string& error) {
    if (access(folder.c_str(), W_OK | X_OK) == 0) return true;
    const int reason = errno;
    error = FormatText(_("cannot write %s (%s): %s"), path.c_str(), what.c_str(),
                       std::strerror(reason));
    return false;
}

// What a trace path reaches, as a key: the file when it exists, else its name in its folder.
std::string FileKey(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) == 0)
        return std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
    std::string folder, name;
    SplitPath(path, folder, name);
    if (stat(folder.c_str(), &info) != 0) return path;
    return std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino) + "/" + name;
}

std::string CellWhat(const BatchCell& cell) {
    return FormatText(_("--cells line %d"), cell.line);
}

// Each cell's trace against the inputs on its own, then against the other cells by the file it
// reaches: a batch may hold many cells, so they are not all compared pair by pair.
bool CheckCells(const ReplayOptions& options, const std::vector<BatchCell>& cells,
                const std::vector<std::string>& dataFiles, std::string& error) {
    std::unordered_map<std::string, size_t> seen, machines;
    for (size_t i = 0; i < cells.size(); ++i)
        if (!cells[i].machine.empty()) machines.emplace(FileKey(cells[i].machine), i);
    for (size_t i = 0; i < cells.size(); ++i) {
        platform::OutputCheck check;
        AddInputs(check, options, dataFiles);
        check.OutputFile(CellWhat(cells[i]), cells[i].trace);
        if (!check.Check(error)) return false;
        const std::string key = FileKey(cells[i].trace);
        if (auto machine = machines.find(key); machine != machines.end()) {
            error = FormatText(_("%s %s would overwrite the machine file of --cells line %d"),
                               CellWhat(cells[i]).c_str(), cells[i].trace.c_str(),
                               cells[machine->second].line);
            return false;
        }
        auto [at, added] = seen.emplace(key, i);
        if (!added) {
            const BatchCell& first = cells[at->second];
            error = FormatText(_("%s %s would overwrite %s %s (the same file)"),
                               CellWhat(cells[i]).c_str(), cells[i].trace.c_str(),
                               CellWhat(first).c_str(), first.trace.c_str());
            return false;
        }
    }
    return true;
}

} // namespace

bool IsFrameName(std::string_view name) {
    constexpr std::string_view kSuffix = ".png";
    if (name.size() < 6 + kSuffix.size() || name.substr(name.size() - kSuffix.size()) != kSuffix)
        return false;
    const std::string_view digits = name.substr(0, name.size() - kSuffix.size());
    return digits.find_first_not_of("0123456789") == std::string_view::npos;
}

bool CheckReplayOutputs(const ReplayOptions& options, const std::vector<BatchCell>& cells,
                        const std::vector<std::string>& dataFiles, std::string& error) {
    platform::OutputCheck check;
    AddInputs(check, options, dataFiles);
    if (!options.trace.empty()) check.OutputFile("--trace", options.trace);
    if (!options.shot.empty()) check.OutputFile("--shot", options.shot);
    if (!options.video.empty()) check.OutputFile("--video", options.video);
    if (!options.framesDir.empty()) check.OutputFolder("--frames", options.framesDir, IsFrameName);
    if (!check.Check(error)) return false;
    std::string folder, name;
    SplitPath(options.shot, folder, name);
    if (!options.shot.empty() && !FolderWritable("--shot", options.shot, folder, error))
        return false;
    struct stat info {};
    if (!options.framesDir.empty() && stat(options.framesDir.c_str(), &info) == 0 &&
        !FolderWritable("--frames", options.framesDir, options.framesDir, error))
        return false;
    return CheckCells(options, cells, dataFiles, error);
}
