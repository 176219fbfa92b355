// The sweep's --out folder: made when missing, one user's by default, and held by one sweep at a
// time, so that no sweep's clean-up removes another's results.
#pragma once

#include <string>

// PROGRAM-USER in $TMPDIR (or /tmp): a second user's sweep gets a folder of its own.
std::string DefaultOutFolder(const char* program = "koltrep-sweep");

// Makes `path` when missing. The default folder, in a folder every user writes in, must also be
// this user's alone: one made by someone else could be read or changed under the sweep.
bool MakeOutFolder(const std::string& path, bool isDefault, std::string& error);

// An advisory lock on the folder itself, held until the object goes. Not passed to children.
class FolderLock {
  public:
    FolderLock() = default;
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    ~FolderLock();
    // False with a reason when another sweep (or another run of `program`) holds the folder.
    bool Take(const std::string& path, std::string& error, const char* program = "koltrep-sweep");

  private:
    int fd_ = -1;
};
