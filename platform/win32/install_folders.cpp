// Data folders and the log's fallback folder of an installed program.
#include <platform/win32/install_folders.h>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <windows.h>
#include <platform/i18n/i18n.h>

namespace platform {
namespace {

namespace fs = std::filesystem;

std::string ExecutableFolder() {
    char path[4096];
    DWORD length = GetModuleFileNameA(GetModuleHandleA(nullptr), path, sizeof path);
    if (length == 0 || length >= sizeof path) return {};
    return fs::path(path).parent_path().string();
}

bool Exists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

// A plain name below the folder it is looked up in: no root, no "..".
bool StaysInside(const fs::path& name) {
    if (name.empty() || name.is_absolute()) return false;
    for (const fs::path& part : name)
        if (part == "..") return false;
    return true;
}

bool IsFolder(const std::string& path) {
    struct stat info {};
    return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Appends the folder in its plain form (no "..", no trailing slash), once.
void AddFolder(std::vector<std::string>& folders, const fs::path& folder) {
    std::string text = folder.lexically_normal().string();
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    for (const std::string& known : folders)
        if (known == text) return;
    folders.push_back(text);
}

std::string dataFolderOption; // --data

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') return home;
    const passwd* user = getpwuid(getuid());
    return user != nullptr && user->pw_dir != nullptr ? user->pw_dir : "";
}

std::string StateFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/') return std::string(state) + "/koltrep";
    std::string home = HomeFolder();
    return home.empty() ? std::string() : home + "/.local/state/koltrep";
}

// Makes the folder and any missing parents, private to the user as the XDG rules ask.
bool MakeFolders(const std::string& folder) {
    std::string built;
    for (const fs::path& part : fs::path(folder)) {
        built = (fs::path(built) / part).string();
        if (mkdir(built.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    struct stat info {};
    return stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool CanWrite(const std::string& path) {
    if (access(path.c_str(), F_OK) == 0) return access(path.c_str(), W_OK) == 0;
    std::string folder = fs::path(path).parent_path().string();
    return access(folder.empty() ? "." : folder.c_str(), W_OK) == 0;
}

} // namespace

std::vector<std::string> InstalledDataFolders() {
    std::vector<std::string> folders;
    std::string own = OwnDataFolder();
    if (!own.empty()) AddFolder(folders, own);
    const char* dirs = std::getenv("XDG_DATA_DIRS");
    std::string list = dirs != nullptr && dirs[0] != '\0' ? dirs : "/usr/local/share:/usr/share";
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(':', start);
        if (end == std::string::npos) end = list.size();
        std::string entry = list.substr(start, end - start);
        if (!entry.empty() && entry[0] == '/')
            AddFolder(folders, fs::path(entry) / "koltrep"); // relative: ignored
        start = end + 1;
    }
    return folders;
}

std::string OwnDataFolder() {
    std::string executable = ExecutableFolder();
    if (executable.empty()) return {};
    std::vector<std::string> folder;
    AddFolder(folder, fs::path(executable) / ".." / "share" / "koltrep");
    return folder.front();
}

void SetDataFolder(const std::string& folder) {
    dataFolderOption = folder;
}

std::string DataFolderOverride() {
    if (!dataFolderOption.empty()) return dataFolderOption;
    const char* variable = std::getenv("KOLTREP_DATA_DIR");
    return variable != nullptr ? variable : "";
}

std::vector<std::string> DataFolders() {
    std::string chosen = DataFolderOverride();
    if (!chosen.empty()) return {chosen};
    std::vector<std::string> folders = InstalledDataFolders();
    const std::string own = OwnDataFolder();
    if (IsFolder(own)) return folders;
    // A program without data of its own (the build tree) reads the current folder first.
    if (!folders.empty() && folders.front() == own)
        folders.front() = ".";
    else
        folders.insert(folders.begin(), ".");
    return folders;
}

std::string DataFoldersText() {
    std::string chosen = DataFolderOverride();
    if (!chosen.empty())
        return chosen + (dataFolderOption.empty() ? " (KOLTREP_DATA_DIR)" : " (--data)");
    std::string text;
    for (const std::string& folder : DataFolders()) {
        std::string shown = folder;
        if (folder == ".") {
            std::error_code error;
            shown = FormatText(_("the current folder (%s)"), fs::current_path(error).c_str());
        }
        text = text.empty() ? shown : FormatText(_("%s, then %s"), text.c_str(), shown.c_str());
    }
    return text;
}

std::string FindDataFile(const char* name) {
    if (name == nullptr) return "";
    if (!StaysInside(name)) return name;
    for (const std::string& folder : DataFolders()) {
        std::string candidate = folder == "." ? std::string(name) : folder + "/" + name;
        if (Exists(candidate)) return candidate;
    }
    static bool told = false;
    if (!told) {
        told = true;
        std::fprintf(stderr,
                     _("koltrep: data file %s is in none of the data folders: %s; name the "
                       "folder with --data DIR or install koltrep (cmake --install)\n"),
                     name, DataFoldersText().c_str());
    }
    return name;
}

std::string WritableLogPath(const std::string& path) {
    if (CanWrite(path)) return path;
    std::string folder = StateFolder();
    if (folder.empty() || !MakeFolders(folder)) return path;
    std::string moved = folder + "/" + fs::path(path).filename().string();
    if (!CanWrite(moved)) return path;
    std::fprintf(stderr, _("koltrep: %s cannot be written; the log goes to %s\n"), path.c_str(),
                 moved.c_str());
    return moved;
}

} // namespace platform
