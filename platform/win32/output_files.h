// Outputs that cannot destroy what the user has. A program that reads some files and writes
// others states them all here first; the check compares them by the file they reach (device and
// inode, after links and other spellings), not by name, so that no output lands on an input or
// on another output, and an output where a device, pipe or folder stands is refused rather than
// written through or replaced. Nothing is opened for writing until every output has passed.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

class OutputCheck {
  public:
    // `what` names the path for messages, as the user gave it: "--script", "--trace".
    void Input(const std::string& what, const std::string& path);
    // A file that will be written (created or replaced).
    void OutputFile(const std::string& what, const std::string& path);
    // A folder that will be made if need be and filled with files whose names `writes` accepts.
    void OutputFolder(const std::string& what, const std::string& path,
                      bool (*writes)(std::string_view name));

    // False with one line for the first clash, or for an output that cannot be written where
    // it is: a missing parent folder, a device, pipe or folder in place of a file.
    bool Check(std::string& error) const;

  private:
    enum class Kind { Input, File, Folder };
    struct Entry {
        Kind kind;
        std::string what;
        std::string path;
        bool (*writes)(std::string_view) = nullptr;
    };
    std::vector<Entry> entries_;
};

// What stands at `path` when it is not a regular file ("a device", "a folder", ...), else
// empty: nothing there, or a regular file (through links). Looks without opening.
std::string NotARegularFile(const std::string& path);

// Opens the files for writing, creating those that do not exist, and empties them only once
// every one is open, so a refused start never cuts an earlier file short; files this call made
// are removed again when a later one fails. Each must be a regular file or not exist yet.
// `fds` gets one close-on-exec descriptor per path.
bool OpenOutputFiles(const std::vector<std::string>& paths, std::vector<int>& fds,
                     std::string& error);

} // namespace platform
