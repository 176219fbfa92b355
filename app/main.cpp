// Process entry: answers --help and --version, takes the drive recording options, hands the
// rest of the argument vector to the option test, then enters WinMain. The Application's
// shut-down runs afterwards, at process exit; the exit code tells which start-up step stopped
// the program, if one did.
#include <signal.h>

#include <cstdio>
#include <string>

#include "app/application.h"
#include "app/debug_log.h"
#include "app/drive_record.h"
#include "app/exit_code.h"
#include "app/usage.h"

int main(int argc, char** argv) {
    // A reader of stderr (or of the X connection) that went away must not end the run before
    // its shut-down: the write fails, and the program carries on.
    signal(SIGPIPE, SIG_IGN);
    AnswerHelpOrVersion(argc, argv, "koltrep", kKoltrepUsage);
    std::string error;
    if (!TakeDriveOptions(argc, argv, error)) {
        std::fprintf(stderr, "koltrep: %s\n%s", error.c_str(), kDriveOptionsUsage);
        return kExitDriveFiles;
    }
    SetCommandLine(argc, argv);
    WinMain(GetModuleHandleA(nullptr), nullptr, nullptr, SW_SHOWNORMAL);
    int code = ExitCodeAfterWinMain();
    if (!FinishDriveRecording(error)) {
        std::fprintf(stderr, "koltrep: %s\n", error.c_str());
        if (code == kExitNormal) code = kExitDriveFiles;
    }
    return code;
}
