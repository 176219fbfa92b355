// --help and --version for koltrep and its tools.
#include "shell/usage.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>

#include <platform/i18n/i18n.h>

#include "koltrep_version.h"

// The drive options' lines, also shown under a mistake in one of them.
const char kDriveOptionsUsage[] =
    N_("  --record FILE  write the session's keys as a replay script for koltrep-replay\n"
       "  --trace FILE   write the replay runner's CSV trace of the session\n");

// The machine and start options' lines, also shown under a mistake in one of them.
const char kMachineOptionsUsage[] =
    N_("  --machine FILE build the machine a machine file describes (koltrep-inspect machine\n"
       "                 prints the built-in one to start from)\n"
       "  --crank-speed X  start at crank speed X (the machine's own, 3.0 built in)\n"
       "  --friction X     start at ground friction X (the machine's own, 350 built in)\n");

namespace {

const char kUsageHead[] =
    N_("usage: koltrep [-win] [-dbf] [-2nd] [--record FILE] [--trace FILE] [--data DIR]\n"
       "               [--machine FILE] [--crank-speed X] [--friction X]\n"
       "A walking machine on a physics engine: steer it with the arrow keys, fire with Space,\n"
       "change views with Tab, quit with Escape.\n"
       "\n"
       "  -win       run in a window (the default is full screen)\n"
       "  -dbf       write the start-up log to debug.txt beside the program (or, where that\n"
       "             folder cannot be written, to $XDG_STATE_HOME/koltrep/debug.txt)\n"
       "  -2nd       use the second display when there is one\n");

const char kUsageTail[] =
    N_("  --data DIR     read the data files from DIR (as KOLTREP_DATA_DIR does)\n"
       "  -h, --help show this text and exit\n"
       "  --version  show the version and exit\n"
       "Other arguments are ignored; each is named in a line on stderr.\n"
       "\n"
       "Messages are in the language LC_ALL, LC_MESSAGES or LANG names (English or Japanese).\n"
       "\n"
       "Exit codes: 0 after Escape or the close box; 1 the display went away during the run;\n"
       "2 another koltrep is running; 3 no window (no display); 4 Direct3D (OpenGL) could not\n"
       "start; 5 DirectInput could not start; 6 a --record or --trace file could not be written,\n"
       "or the --data folder is missing; 7 the --machine file (or a --crank-speed or --friction\n"
       "value) was refused.\n");

} // namespace

std::string KoltrepUsage() {
    return std::string(Translate(kUsageHead)) + Translate(kDriveOptionsUsage) +
           Translate(kMachineOptionsUsage) + Translate(kUsageTail);
}

// The options koltrep's parts test for (HasOption); --record and --trace are taken before.
static const char* const kKoltrepOptions[] = {"-win", "-dbf", "-2nd"};

void ReportUnknownArguments(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        bool known = false;
        for (const char* option : kKoltrepOptions)
            known = known || std::strcmp(argv[i], option) == 0;
        if (!known)
            std::fprintf(stderr,
                         _("koltrep: ignoring unknown argument '%s' (see koltrep --help)\n"),
                         argv[i]);
    }
}

void AnswerHelpOrVersion(int argc, char** argv, const char* program, const char* usage) {
    for (int i = 1; i < argc; ++i) {
        const bool help = std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0;
        if (!help && std::strcmp(argv[i], "--version") != 0) continue;
        if (help)
            std::fputs(usage, stdout);
        else
            std::printf("%s %s\n", program, KOLTREP_VERSION);
        // Nothing has started, so nothing is shut down: the static destructors would only log
        // the release of things that never existed.
        std::fflush(stdout);
        _exit(std::ferror(stdout) ? 1 : 0);
    }
}
