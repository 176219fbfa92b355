#include "tests/support/program/command_line.h"

#include "shell/debug_log.h"

namespace program_test {

CommandLine::CommandLine(std::vector<std::string> options) {
    storage_.push_back("koltrep");
    for (auto& option : options)
        storage_.push_back(std::move(option));
    for (auto& argument : storage_)
        argv_.push_back(argument.data());
    argv_.push_back(nullptr);
    SetCommandLine(static_cast<int>(storage_.size()), argv_.data());
}

CommandLine::~CommandLine() {
    SetCommandLine(0, nullptr);
}

} // namespace program_test
