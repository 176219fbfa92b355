// --data DIR and the --help lines on where data files come from.
#include "app/data_option.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <string_view>

#include <platform/i18n/i18n.h>
#include <platform/win32/install_folders.h>

#include "app/value_options.h"

namespace {

// body.x names body.png as its texture; the scene loads the rest by name.
constexpr const char* kDataFileNames[] = {"body.x", "body.png", "ground.png", "almi.png"};

// Why `folder` cannot be the data folder, or "" when it can.
std::string DataFolderProblem(const std::string& folder, bool fromVariable) {
    const std::string named = fromVariable ? folder + " (KOLTREP_DATA_DIR)" : folder;
    struct stat info {};
    if (stat(folder.c_str(), &info) != 0) {
        if (errno == ENOENT)
            return FormatText(_("the data folder %s does not exist"), named.c_str());
        return FormatText(_("cannot read the data folder %s: %s"), named.c_str(),
                          std::strerror(errno));
    }
    if (!S_ISDIR(info.st_mode))
        return FormatText(_("the data folder %s is not a folder"), named.c_str());
    return "";
}

} // namespace

bool TakeDataOption(int& argc, char** argv, std::string& error) {
    std::string folder;
    if (!TakeValueOptions(argc, argv, {{"--data", &folder}}, _("%s needs a folder"), error))
        return false;
    if (!folder.empty()) platform::SetDataFolder(folder);
    const std::string chosen = platform::DataFolderOverride();
    if (chosen.empty()) return true;
    error = DataFolderProblem(chosen, folder.empty());
    return error.empty();
}

std::vector<std::string> DataFilesRead() {
    std::vector<std::string> files;
    const std::vector<std::string> folders = platform::DataFolders();
    for (const char* name : kDataFileNames) {
        for (const std::string& folder : folders) {
            std::string candidate = folder == "." ? std::string(name) : folder + "/" + name;
            struct stat info {};
            if (stat(candidate.c_str(), &info) == 0) {
                files.push_back(candidate);
                break;
            }
        }
    }
    return files;
}

std::string DataLookupHelp() {
    return FormatText(_("\nData files (body.x, body.png, ground.png, almi.png) are read from\n"
                        "  %s.\n"
                        "An installed program reads the data installed with it; a program "
                        "without (the build tree)\n"
                        "reads the current folder first. --data DIR or KOLTREP_DATA_DIR "
                        "replaces both.\n"),
                      platform::DataFoldersText().c_str());
}
