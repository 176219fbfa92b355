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

std::string Joined(const std::vector<std::string>& folders) {
    std::string text;
    for (const std::string& folder : folders)
        text += (text.empty() ? "" : ", ") + folder;
    return text;
}

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
    auto add = [&folders](const fs::path& folder) {
        std::string text = folder.lexically_normal().string();
        while (text.size() > 1 && text.back() == '/')
            text.pop_back();
        for (const std::string& known : folders)
            if (known == text) return;
        folders.push_back(text);
    };
    std::string executable = ExecutableFolder();
    if (!executable.empty()) add(fs::path(executable) / ".." / "share" / "koltrep");
    const char* dirs = std::getenv("XDG_DATA_DIRS");
    std::string list = dirs != nullptr && dirs[0] != '\0' ? dirs : "/usr/local/share:/usr/share";
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(':', start);
        if (end == std::string::npos) end = list.size();
        std::string entry = list.substr(start, end - start);
        if (!entry.empty() && entry[0] == '/')
            add(fs::path(entry) / "koltrep"); // relative: ignored
        start = end + 1;
    }
    return folders;
}

std::string FindDataFile(const char* name) {
    if (name == nullptr || Exists(name) || !StaysInside(name)) return name ? name : "";
    std::vector<std::string> folders = InstalledDataFolders();
    for (const std::string& folder : folders) {
        std::string candidate = folder + "/" + name;
        if (Exists(candidate)) return candidate;
    }
    static bool told = false;
    if (!told) {
        told = true;
        std::error_code error;
        std::string current = fs::current_path(error).string();
        std::fprintf(stderr,
                     _("koltrep: data file %s is not in the current folder (%s) nor in %s; start "
                       "koltrep in its data folder or install it (cmake --install)\n"),
                     name, current.c_str(), Joined(folders).c_str());
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
