// --data DIR and the --help lines on where data files come from.
#include "app/data_option.h"

#include <sys/stat.h>

#include <string_view>

#include <platform/win32/install_folders.h>

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

std::string DataLookupHelp() {
    return "\nData files (body.x, body.png, ground.png, almi.png) are read from\n  " +
           platform::DataFoldersText() +
           ".\nAn installed program reads the data installed with it; a program without (the "
           "build tree)\nreads the current folder first. --data DIR or KOLTREP_DATA_DIR "
           "replaces both.\n";
}
