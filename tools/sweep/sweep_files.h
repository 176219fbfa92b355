// How the sweep reads its inputs and writes its results: a result appears whole under its name
// or not at all, so a file in --out is never half of a new one or the whole of an old one.
#pragma once

#include <string>

// False with "cannot read PATH: reason".
bool ReadWholeFile(const std::string& path, std::string& text, std::string& error);

// A result made in a temporary file beside its target and renamed into place when committed.
// Creating it first shows that the folder takes files before any work is done.
class PendingFile {
  public:
    explicit PendingFile(std::string target) : target_(std::move(target)) {}
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    ~PendingFile() { Abandon(); }
    bool Create(std::string& error);
    // Writes, syncs and renames; the temporary file is gone either way.
    bool Commit(const std::string& text, std::string& error);
    void Abandon();

  private:
    std::string target_;
    std::string temporary_;
    int fd_ = -1;
};

bool WriteFileAtomically(const std::string& path, const std::string& text, std::string& error);

// The results and pictures an earlier sweep left in `folder`.
void RemoveSweepOutputs(const std::string& folder);
