// The program's command line as its parts read it (HasOption), set for one test.
#pragma once

#include <string>
#include <vector>

namespace program_test {

// Holds an argument vector for HasOption while it lives ("koltrep" is argument 0).
class CommandLine {
  public:
    explicit CommandLine(std::vector<std::string> options = {});
    ~CommandLine();
    CommandLine(const CommandLine&) = delete;
    CommandLine& operator=(const CommandLine&) = delete;

  private:
    std::vector<std::string> storage_;
    std::vector<char*> argv_;
};

} // namespace program_test
