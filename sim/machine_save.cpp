// Saving the panel's machine.
#include "sim/machine_save.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include <platform/i18n/i18n.h>
#include <platform/win32/output_files.h>

#include "machine/machine_file.h"

namespace {

struct KeptFile {
    std::string what, path;
};
std::vector<KeptFile> keptFiles;

bool WriteWhole(int fd, const std::string& text, std::string& reason) {
    const char* at = text.data();
    size_t left = text.size();
    while (left > 0) {
        const ssize_t done = write(fd, at, left);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) {
            reason = done < 0 ? std::strerror(errno) : "nothing written";
            return false;
        }
        at += done;
        left -= size_t(done);
    }
    return true;
}

bool Write(const std::string& path, const std::string& text, std::string& reason) {
    std::vector<int> fds;
    if (!platform::OpenOutputFiles({path}, fds, reason)) return false;
    const bool written = WriteWhole(fds[0], text, reason);
    if (close(fds[0]) != 0 && written) {
        reason = std::strerror(errno);
        return false;
    }
    return written;
}

std::string Absolute(const std::string& path) {
    char* absolute = realpath(path.c_str(), nullptr);
    const std::string shown = absolute != nullptr ? absolute : path;
    std::free(absolute);
    return shown;
}

} // namespace

void KeepFromMachineSaves(const std::string& what, const std::string& path) {
    if (!path.empty()) keptFiles.push_back({what, path});
}

SaveOutcome SaveMachineFile(const Machine& machine, const std::string& path, bool replace,
                            std::string& message) {
    if (path.empty()) {
        message = _("type the file to save the machine in");
        return SaveOutcome::kRefused;
    }
    platform::OutputCheck check;
    for (const KeptFile& kept : keptFiles)
        check.Input(kept.what, kept.path);
    check.OutputFile(_("Save as"), path);
    if (!check.Check(message)) return SaveOutcome::kRefused;
    struct stat info {};
    if (!replace && stat(path.c_str(), &info) == 0) {
        message = FormatText(_("%s exists: press Save as again to replace it"), path.c_str());
        return SaveOutcome::kAskAgain;
    }
    std::string reason;
    if (!Write(path, MachineText(machine), reason)) {
        message = FormatText(_("cannot write %s: %s"), path.c_str(), reason.c_str());
        return SaveOutcome::kRefused;
    }
    message = Absolute(path);
    return SaveOutcome::kSaved;
}
