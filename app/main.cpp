// Process entry: picks the messages' language, takes the data folder, answers --help and
// --version, takes the machine and start options, then the drive recording options, names the
// arguments nobody reads, hands the rest of the argument vector to the option test, then enters
// WinMain. The Application's shut-down runs afterwards, at process exit; the exit code tells which
// start-up step stopped the program, if one did.
#include <signal.h>

#include <cstdio>
#include <string>

#include <platform/i18n/i18n.h>

#include "app/application.h"
#include "app/data_option.h"
#include "shell/debug_log.h"
#include "app/drive_record.h"
#include "app/exit_code.h"
#include "app/machine_option.h"
#include "shell/usage.h"

int main(int argc, char** argv) {
    InitMessages();
    // A reader of stderr (or of the X connection) that went away must not end the run before
    // its shut-down: the write fails, and the program carries on.
    signal(SIGPIPE, SIG_IGN);
    std::string error;
    // Taken first, so that --help shows the folder it names.
    const bool dataTaken = TakeDataOption(argc, argv, error);
    AnswerHelpOrVersion(argc, argv, "koltrep", (KoltrepUsage() + DataLookupHelp()).c_str());
    if (!dataTaken) {
        std::fprintf(stderr, "koltrep: %s\n", error.c_str());
        return kExitDriveFiles;
    }
    // Before the drive options open their files: a refused machine leaves a recording as it was.
    if (!TakeMachineOptions(argc, argv, error)) {
        // The box's caption names the program on stderr as well.
        MessageBoxA(nullptr, error.c_str(), "koltrep", MB_OK);
        std::fputs(Translate(kMachineOptionsUsage), stderr);
        return kExitMachine;
    }
    if (!TakeDriveOptions(argc, argv, error)) {
        std::fprintf(stderr, "koltrep: %s\n%s", error.c_str(), Translate(kDriveOptionsUsage));
        return kExitDriveFiles;
    }
    ReportUnknownArguments(argc, argv);
    SetCommandLine(argc, argv);
    WinMain(GetModuleHandleA(nullptr), nullptr, nullptr, SW_SHOWNORMAL);
    int code = ExitCodeAfterWinMain();
    if (!FinishDriveRecording(error)) {
        std::fprintf(stderr, "koltrep: %s\n", error.c_str());
        if (code == kExitNormal) code = kExitDriveFiles;
    }
    return code;
}
