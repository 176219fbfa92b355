// koltrep-inspect machine [FILE]: the built-in machine, or FILE's once checked, as a commented
// machine file on stdout.
#include "commands.h"

#include <cstdio>
#include <string>

#include "machine/machine_file.h"

#include <platform/i18n/i18n.h>

int RunMachineCommand(int argc, char** argv) {
    if (argc > 1) {
        std::fputs(_("usage: koltrep-inspect machine [FILE]\n"), stderr);
        return 1;
    }
    Machine machine = DesignMachine();
    if (argc == 1) {
        MachineFile file;
        std::string error;
        if (!LoadMachineFile(argv[0], file, error)) {
            std::fprintf(stderr, "koltrep-inspect: %s\n", error.c_str());
            return 1;
        }
        machine = file.machine;
    }
    const std::string text = MachineText(machine);
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0)
        return 1;
    return 0;
}
