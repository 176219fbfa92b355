// --data DIR and the --help lines on where data files come from.
#include "app/data_option.h"

#include <sys/stat.h>

#include <string_view>

#include <platform/win32/install_folders.h>

namespace {

// body.x names body.png as its texture; the scene loads the rest by name.
constexpr const char* kDataFileNames[] = {"body.x", "body.png", "ground.png", "almi.png"};

} // namespace

bool TakeDataOption(int& argc, char** argv, std::string& error) {
    std::string folder;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) != "--data") {
            argv[kept++] = argv[i];
            continue;
        }
        if (i + 1 >= argc || argv[i + 1][0] == '\0') {
            error = "--data needs a folder";
            return false;
        }
        if (!folder.empty()) {
            error = "--data given twice";
            return false;
        }
        folder = argv[++i];
    }
    argc = kept;
    argv[argc] = nullptr;
    if (!folder.empty()) platform::SetDataFolder(folder);
    const std::string chosen = platform::DataFolderOverride();
    struct stat info {};
    if (!chosen.empty() && (stat(chosen.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))) {
        error = "the data folder " + chosen + (folder.empty() ? " (KOLTREP_DATA_DIR)" : "") +
                " is not a folder";
        return false;
    }
    return true;
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
    return "\nData files (body.x, body.png, ground.png, almi.png) are read from\n  " +
           platform::DataFoldersText() +
           ".\nAn installed program reads the data installed with it; a program without (the "
           "build tree)\nreads the current folder first. --data DIR or KOLTREP_DATA_DIR "
           "replaces both.\n";
}
