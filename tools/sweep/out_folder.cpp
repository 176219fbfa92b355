// The output folder: where it is by default, its making, and its lock.
#include "tools/sweep/out_folder.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <platform/i18n/i18n.h>

std::string DefaultOutFolder(const char* program) {
    const char* base = std::getenv("TMPDIR");
    std::string folder = std::string(base && *base ? base : "/tmp") + "/" + program + "-";
    const passwd* user = getpwuid(getuid());
    if (user && user->pw_name && *user->pw_name && !std::strchr(user->pw_name, '/'))
        return folder + user->pw_name;
    return folder + std::to_string(getuid());
}

bool MakeOutFolder(const std::string& path, bool isDefault, std::string& error) {
    int made = mkdir(path.c_str(), isDefault ? 0700 : 0777);
    int reason = errno;
    struct stat info {};
    if (made != 0 && (reason != EEXIST || lstat(path.c_str(), &info) != 0)) {
        error = FormatText(_("cannot create %s: %s"), path.c_str(), std::strerror(reason));
        return false;
    }
    if (made != 0 && !S_ISDIR(info.st_mode) && !(S_ISLNK(info.st_mode) && !isDefault)) {
        error = FormatText(_("cannot create %s: %s"), path.c_str(), _("a file is in the way"));
        return false;
    }
    if (made != 0 && isDefault &&
        (!S_ISDIR(info.st_mode) || info.st_uid != getuid() || (info.st_mode & 022) != 0)) {
        error =
            FormatText(_("%s is not yours alone; give --out a folder of your own"), path.c_str());
        return false;
    }
    return true;
}

FolderLock::~FolderLock() {
    if (fd_ >= 0) close(fd_);
}

bool FolderLock::Take(const std::string& path, std::string& error, const char* program) {
    fd_ = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0) {
        const int reason = errno;
        error = FormatText(_("cannot open %s: %s"), path.c_str(), std::strerror(reason));
        return false;
    }
    if (flock(fd_, LOCK_EX | LOCK_NB) == 0) return true;
    const int reason = errno;
    error = reason == EWOULDBLOCK
                ? FormatText(_("another %s is writing in %s; wait for it to end or give another "
                               "--out"),
                             program, path.c_str())
                : FormatText(_("cannot lock %s: %s"), path.c_str(), std::strerror(reason));
    close(fd_);
    fd_ = -1;
    return false;
}
