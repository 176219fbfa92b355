// Screenshots. The settings file is the user's, so it is read line by line with a bounded
// buffer and only a value of the documented forms ("$HOME/..." or an absolute path) is used.
#include "gfx/screenshot.h"

#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <cstring>
#include <string_view>
#include <vector>

#include "shell/debug_log.h"
#include "gfx/device/d3d_device.h"
#include "gfx/overlay.h"

#include <platform/d3d8/d3d8_linux.h>
#include <platform/d3dx8/image_write.h>

#include <platform/i18n/i18n.h>

namespace {

constexpr int kMaxSettingsLines = 1000;
constexpr int kMaxSameSecond = 100;

bool IsFolder(const std::string& path) {
    struct stat info {};
    return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool Exists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

// The folder named for `key` in user-dirs.dirs, or "" when the file or the line is missing or
// the value is of another form.
std::string ConfiguredFolder(const std::string& settings, const std::string& home,
                             std::string_view key) {
    std::FILE* file = std::fopen(settings.c_str(), "r");
    if (!file) return "";
    std::string found;
    char line[4096];
    for (int n = 0; n < kMaxSettingsLines && std::fgets(line, sizeof line, file); ++n) {
        std::string_view text = line;
        if (!text.starts_with(key) || !text.substr(key.size()).starts_with("=\"")) continue;
        text.remove_prefix(key.size() + 2);
        std::size_t close = text.find('"');
        if (close == std::string_view::npos) continue;
        text = text.substr(0, close);
        if (text.starts_with("$HOME/") || text == "$HOME") {
            if (home.empty()) continue;
            found = home + std::string(text.substr(5));
        } else if (text.starts_with("/")) {
            found = std::string(text);
        }
    }
    std::fclose(file);
    return found;
}

} // namespace

std::string UserDirsFolder(const char* home, const char* configHome, const char* key) {
    std::string homeDir = home ? home : "";
    std::string config = configHome && *configHome ? configHome
                         : homeDir.empty()         ? ""
                                                   : homeDir + "/.config";
    if (config.empty()) return "";
    return ConfiguredFolder(config + "/user-dirs.dirs", homeDir, key);
}

std::string ScreenshotFolder(const char* home, const char* configHome) {
    std::string configured = UserDirsFolder(home, configHome, "XDG_PICTURES_DIR");
    if (!configured.empty()) return configured;
    std::string homeDir = home ? home : "";
    return homeDir.empty() ? "" : homeDir + "/Pictures";
}

bool FreeTimestampedName(const std::string& folder, const char* extension, std::string& path,
                         std::string& reason) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d_%H-%M-%S", &local);
    std::string base = folder + "/koltrep_" + stamp;
    path = base + extension;
    for (int n = 2; Exists(path) && n <= kMaxSameSecond; ++n)
        path = base + "_" + std::to_string(n) + extension;
    if (!Exists(path)) return true;
    reason = "too many files in one second in " + folder;
    return false;
}

bool MakeFolders(const std::string& folder, std::string& reason) {
    if (folder.empty()) {
        reason = "no folder named";
        return false;
    }
    // Each parent in turn, then the folder itself; one that exists already is fine.
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        std::string part = folder.substr(0, slash);
        if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
            reason = "cannot make " + part + ": " + std::strerror(errno);
            return false;
        }
        if (slash == std::string::npos) break;
    }
    if (!IsFolder(folder)) {
        reason = folder + " is not a folder";
        return false;
    }
    return true;
}

namespace {

void Report(const std::string& path, const std::string& reason) {
    if (reason.empty()) {
        DebugPrint("Screenshot saved: %s\n", path.c_str());
        std::fprintf(stderr, _("koltrep: screenshot saved: %s\n"), path.c_str());
        ShowNotice(FormatText(_("Screenshot saved: %s"), NoticePath(path).c_str()));
        return;
    }
    DebugPrint("Screenshot not saved: %s\n", reason.c_str());
    std::fprintf(stderr, _("koltrep: screenshot not saved: %s\n"), reason.c_str());
    ShowNotice(FormatText(_("Screenshot not saved: %s"), reason.c_str()));
}

} // namespace

void SaveScreenshot() {
    std::string folder = ScreenshotFolder(std::getenv("HOME"), std::getenv("XDG_CONFIG_HOME"));
    std::string reason, path;
    if (folder.empty()) {
        Report("", "no pictures folder: neither XDG_PICTURES_DIR nor HOME is set");
        return;
    }
    if (!MakeFolders(folder, reason)) {
        Report("", reason);
        return;
    }
    // The path the user can find the file by, whatever the folder's name had in it.
    char absolute[PATH_MAX];
    if (realpath(folder.c_str(), absolute)) folder = absolute;
    if (!FreeTimestampedName(folder, ".png", path, reason)) {
        Report("", reason);
        return;
    }
    static std::vector<uint8_t> pixels;
    UINT width = 0, height = 0;
    if (!platform::d3d8::ReadBackBuffer(d3dDevice, pixels, width, height)) {
        Report("", "the picture could not be read back");
        return;
    }
    std::string error;
    if (!platform::d3dx::WritePngRgba(path.c_str(), width, height, pixels.data(), error)) {
        Report("", error);
        return;
    }
    Report(path, "");
}
