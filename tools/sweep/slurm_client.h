// What a tool needs to talk to Slurm: its clients run and heard, and paths made safe for the
// batch scripts it writes.
#pragma once

#include <string>
#include <vector>

// A POSIX shell single-quoted string.
std::string ShellQuoted(const std::string& text);

// `path` made absolute and normal, as a node that starts elsewhere must be told it.
std::string AbsolutePath(const std::string& path);

// Runs a Slurm client (sbatch, squeue, scancel) and gives its output, trailing newlines taken
// off; its exit status, or -1 when it could not start. The client runs in a process group of
// its own: Ctrl-C is for the tool, which then cancels its array itself.
int CaptureClient(const std::vector<std::string>& args, std::string& output);

// Whether `program` is one PATH finds, as execvp would.
bool OnPath(const std::string& program);

// The last line of the file at `path`; "" when it does not read.
std::string LastLineOf(const std::string& path);
