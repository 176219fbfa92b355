// Platform calls: stat, opendir/readdir, open, ftruncate, unlink.
#include <platform/win32/output_files.h>

#include <platform/win32/regular_file.h>

#include <platform/i18n/i18n.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform {

namespace {

// Where a path leads: the object itself when it exists, and in any case the folder that holds
// its last name, so that a file still to be made can be told apart from another by the two.
struct Where {
    int error = 0; // of stat on the path; 0 when it exists
    struct stat self {};
    bool inFolder = false; // the containing folder exists and was found
    int folderError = 0;
    struct stat folder {};
    std::string name;
};

Where Locate(const std::string& path) {
    Where where;
    if (stat(path.c_str(), &where.self) != 0) where.error = errno;
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/')
        trimmed.pop_back();
    const size_t slash = trimmed.rfind('/');
    const std::string folder = slash == std::string::npos ? "."
                               : slash == 0               ? "/"
                                                          : trimmed.substr(0, slash);
    where.name = slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
    if (where.name == "." || where.name == ".." || where.name.empty()) {
        where.name.clear(); // the name says nothing about which folder entry it is
    } else if (stat(folder.c_str(), &where.folder) != 0) {
        where.folderError = errno;
    } else if (!S_ISDIR(where.folder.st_mode)) {
        where.folderError = ENOTDIR;
    } else {
        where.inFolder = true;
    }
    return where;
}

bool SameObject(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Both reach one file: the same existing object, or the same name still to be made in one folder.
bool Same(const Where& a, const Where& b) {
    if (a.error == 0 && b.error == 0) return SameObject(a.self, b.self);
    if (a.error == 0 || b.error == 0) return false;
    return a.inFolder && b.inFolder && a.name == b.name && SameObject(a.folder, b.folder);
}

const char* KindOf(mode_t mode) {
    if (S_ISDIR(mode)) return _("a folder");
    if (S_ISFIFO(mode)) return _("a named pipe");
    if (S_ISSOCK(mode)) return _("a socket");
    if (S_ISCHR(mode) || S_ISBLK(mode)) return _("a device");
    return _("a special file");
}

std::string CannotWrite(const std::string& named, const std::string& reason) {
    return FormatText(_("cannot write %s: %s"), named.c_str(), reason.c_str());
}

} // namespace

std::string NotARegularFile(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || S_ISREG(info.st_mode)) return "";
    return KindOf(info.st_mode);
}

void OutputCheck::Input(const std::string& what, const std::string& path) {
    entries_.push_back({Kind::Input, what, path});
}

void OutputCheck::OutputFile(const std::string& what, const std::string& path) {
    entries_.push_back({Kind::File, what, path});
}

void OutputCheck::OutputFolder(const std::string& what, const std::string& path,
                               bool (*writes)(std::string_view name)) {
    entries_.push_back({Kind::Folder, what, path, writes});
}

bool OutputCheck::Check(std::string& error) const {
    std::vector<Where> places;
    places.reserve(entries_.size());
    for (const Entry& entry : entries_)
        places.push_back(Locate(entry.path));

    // Each output on its own: what stands at its path, and whether its folder is there.
    for (size_t i = 0; i < entries_.size(); ++i) {
        const Entry& entry = entries_[i];
        const Where& where = places[i];
        if (entry.kind == Kind::Input) continue;
        const std::string named = entry.path + " (" + entry.what + ")";
        if (where.error == 0) {
            const bool fits = entry.kind == Kind::File ? S_ISREG(where.self.st_mode)
                                                       : S_ISDIR(where.self.st_mode);
            if (!fits) {
                error = CannotWrite(named, entry.kind == Kind::File
                                               ? FormatText(_("it is %s, not a regular file"),
                                                            KindOf(where.self.st_mode))
                                               : std::string(_("it is a file, not a folder")));
                return false;
            }
        } else if (where.error != ENOENT) {
            error = CannotWrite(named, std::strerror(where.error));
            return false;
        } else if (!where.inFolder) {
            error =
                CannotWrite(named, std::strerror(where.folderError ? where.folderError : ENOENT));
            return false;
        }
    }

    // Every output against every other path.
    for (size_t i = 0; i < entries_.size(); ++i) {
        const Entry& output = entries_[i];
        if (output.kind == Kind::Input) continue;
        for (size_t j = 0; j < entries_.size(); ++j) {
            if (j == i || (entries_[j].kind != Kind::Input && j > i)) continue;
            const Entry& other = entries_[j];
            // An input that is not there is not read, so nothing of it can be lost.
            if (other.kind == Kind::Input && places[j].error != 0) continue;
            if (Same(places[i], places[j])) {
                error = FormatText(_("%s %s would overwrite %s %s (the same file)"),
                                   output.what.c_str(), output.path.c_str(), other.what.c_str(),
                                   other.path.c_str());
                return false;
            }
        }
        if (output.kind != Kind::Folder) continue;
        const Where& folder = places[i];
        // A file still to be made directly in the folder, under a name the folder's writer uses.
        for (size_t j = 0; j < entries_.size(); ++j) {
            const Where& other = places[j];
            if (j == i || entries_[j].kind == Kind::Input || other.error == 0 || !other.inFolder ||
                folder.error != 0)
                continue;
            if (SameObject(other.folder, folder.self) && output.writes(other.name)) {
                error = FormatText(_("%s %s would overwrite %s %s"), output.what.c_str(),
                                   output.path.c_str(), entries_[j].what.c_str(),
                                   entries_[j].path.c_str());
                return false;
            }
        }
        if (folder.error != 0) continue;
        // Files already there that the writer would replace, under any name that reaches them.
        DIR* listing = opendir(output.path.c_str());
        if (!listing) continue;
        std::string clash;
        while (const dirent* item = readdir(listing)) {
            if (!output.writes(item->d_name)) continue;
            struct stat there {};
            const std::string inside = output.path + "/" + item->d_name;
            if (stat(inside.c_str(), &there) != 0) continue;
            for (size_t j = 0; j < entries_.size() && clash.empty(); ++j)
                if (j != i && places[j].error == 0 && SameObject(places[j].self, there))
                    clash =
                        FormatText(_("%s %s would overwrite %s %s (as %s)"), output.what.c_str(),
                                   output.path.c_str(), entries_[j].what.c_str(),
                                   entries_[j].path.c_str(), inside.c_str());
            if (!clash.empty()) break;
        }
        closedir(listing);
        if (!clash.empty()) {
            error = clash;
            return false;
        }
    }
    return true;
}

bool OpenOutputFiles(const std::vector<std::string>& paths, std::vector<int>& fds,
                     std::string& error) {
    fds.clear();
    std::vector<bool> made;
    auto undo = [&] {
        for (size_t k = 0; k < fds.size(); ++k) {
            close(fds[k]);
            if (made[k]) unlink(paths[k].c_str());
        }
        fds.clear();
    };
    for (const std::string& path : paths) {
        int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        const bool created = fd >= 0;
        std::string reason;
        if (fd < 0 && errno == EEXIST) {
            fd = OpenRegularFile(path.c_str(), O_WRONLY, reason);
        } else if (fd < 0) {
            reason = std::strerror(errno);
        }
        if (fd < 0) {
            undo();
            error = CannotWrite(path, reason);
            return false;
        }
        fds.push_back(fd);
        made.push_back(created);
    }
    for (size_t k = 0; k < fds.size(); ++k) {
        if (ftruncate(fds[k], 0) != 0) {
            error = CannotWrite(paths[k], std::strerror(errno));
            undo();
            return false;
        }
    }
    return true;
}

} // namespace platform
