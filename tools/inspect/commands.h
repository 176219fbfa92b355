// The subcommands of koltrep-inspect. Each takes the arguments after its name and returns the
// process exit code.
#pragma once

int RunMeshCommand(int argc, char** argv);
int RunImageCommand(int argc, char** argv);
int RunMessageBoxCommand(int argc, char** argv);
int RunMachineCommand(int argc, char** argv);
