// The sweep's files: whole reads, and writes that replace a result only once it is complete.
#include "tools/sweep/sweep_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <platform/i18n/i18n.h>

mode_t CurrentUmask() {
    mode_t mask = umask(0);
    umask(mask);
    return mask;
}

bool ReadWholeFile(const std::string& path, std::string& text, std::string& error, size_t limit) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    text.clear();
    char buffer[65536];
    ssize_t got = fd < 0 ? -1 : 0;
    while (fd >= 0 && text.size() <= limit && (got = read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<size_t>(got));
    int reason = errno;
    if (fd >= 0) close(fd);
    if (got < 0) {
        error = FormatText(_("cannot read %s: %s"), path.c_str(), std::strerror(reason));
        return false;
    }
    if (text.size() > limit) {
        text.clear();
        error = FormatText(_("cannot read %s: larger than %zu bytes"), path.c_str(), limit);
        return false;
    }
    return true;
}

bool PendingFile::Create(std::string& error, size_t reserve) {
    size_t slash = target_.rfind('/');
    std::string folder = slash == std::string::npos ? "." : target_.substr(0, slash);
    std::string name = slash == std::string::npos ? target_ : target_.substr(slash + 1);
    temporary_ = folder + "/." + name + ".XXXXXX";
    fd_ = mkostemp(temporary_.data(), O_CLOEXEC);
    if (fd_ < 0) {
        const int reason = errno;
        error = FormatText(_("cannot write in %s: %s"), folder.c_str(), std::strerror(reason));
        temporary_.clear();
        return false;
    }
    int failed = fchmod(fd_, 0666 & ~CurrentUmask()) == 0 ? 0 : errno;
    if (failed == 0 && reserve > 0) failed = posix_fallocate(fd_, 0, static_cast<off_t>(reserve));
    if (failed != 0) {
        error = FormatText(_("no room for %zu bytes in %s: %s"), reserve, folder.c_str(),
                           std::strerror(failed));
        Abandon();
        return false;
    }
    reserved_ = reserve;
    return true;
}

bool PendingFile::Commit(const std::string& text, std::string& error) {
    size_t written = 0;
    while (fd_ >= 0 && written < text.size()) {
        ssize_t n = write(fd_, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        written += static_cast<size_t>(n);
    }
    bool ok = fd_ >= 0 && written == text.size() &&
              (reserved_ <= text.size() || ftruncate(fd_, static_cast<off_t>(written)) == 0) &&
              fsync(fd_) == 0;
    int reason = errno;
    if (fd_ >= 0 && close(fd_) != 0 && ok) {
        ok = false;
        reason = errno;
    }
    fd_ = -1;
    if (ok && rename(temporary_.c_str(), target_.c_str()) != 0) {
        ok = false;
        reason = errno;
    }
    if (!ok) {
        error = FormatText(_("cannot write %s: %s"), target_.c_str(), std::strerror(reason));
        unlink(temporary_.c_str());
    }
    temporary_.clear();
    return ok;
}

void PendingFile::Abandon() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    if (!temporary_.empty()) unlink(temporary_.c_str());
    temporary_.clear();
}

bool WriteFileAtomically(const std::string& path, const std::string& text, std::string& error) {
    PendingFile file(path);
    return file.Create(error) && file.Commit(text, error);
}

void RemoveSweepOutputs(const std::string& folder) {
    for (const char* name : {"sweep.csv", "runs.csv", "speed.png", "tipover.png", "cost.png"})
        unlink((folder + "/" + name).c_str());
}

void RemoveStaleTemporaries(const std::string& folder) {
    DIR* listing = opendir(folder.c_str());
    if (!listing) return;
    while (const dirent* entry = readdir(listing)) {
        const std::string name = entry->d_name;
        for (const char* target : {"sweep.csv", "runs.csv", "sweep.partial.csv", "sweep.settings"})
            if (name.size() == std::strlen(target) + 8 &&
                name.rfind("." + std::string(target) + ".", 0) == 0)
                unlinkat(dirfd(listing), name.c_str(), 0);
    }
    closedir(listing);
}
