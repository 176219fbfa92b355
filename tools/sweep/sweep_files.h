// How the sweep reads its inputs and writes its results: a result appears whole under its name
// or not at all, so a file in --out is never half of a new one or the whole of an old one.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

// The process's umask, which new files and folders follow.
mode_t CurrentUmask();

// False with "cannot read PATH: reason", also for a file above `limit` bytes, which is refused
// unread.
bool ReadWholeFile(const std::string& path, std::string& text, std::string& error,
                   size_t limit = SIZE_MAX);

// A result made in a temporary file beside its target and renamed into place when committed.
// Creating it first shows that the folder takes files before any work is done; reserving room
// as well keeps that room for the result however full the disk gets meanwhile. The result gets
// the mode the umask gives new files, as every other file the user makes.
class PendingFile {
  public:
    explicit PendingFile(std::string target) : target_(std::move(target)) {}
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    ~PendingFile() { Abandon(); }
    bool Create(std::string& error, size_t reserve = 0);
    // Writes, syncs and renames; the temporary file is gone either way.
    bool Commit(const std::string& text, std::string& error);
    void Abandon();

  private:
    std::string target_;
    std::string temporary_;
    int fd_ = -1;
    size_t reserved_ = 0;
};

bool WriteFileAtomically(const std::string& path, const std::string& text, std::string& error);

// The results and pictures an earlier sweep left in `folder`.
void RemoveSweepOutputs(const std::string& folder);

// The temporary files of a sweep that was killed before it could remove them: only the names
// PendingFile gives, which may hold the room a partial file had kept. For the folder's holder.
void RemoveStaleTemporaries(const std::string& folder);
