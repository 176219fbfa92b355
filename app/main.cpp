// Process entry: answers --help and --version, hands the runtime's argument vector to the
// option test, then enters WinMain. The Application's shut-down runs afterwards, at process
// exit; the exit code tells which start-up step stopped the program, if one did.
#include "app/application.h"
#include "app/debug_log.h"
#include "app/exit_code.h"
#include "app/usage.h"

int main(int argc, char** argv) {
    AnswerHelpOrVersion(argc, argv, "koltrep", kKoltrepUsage);
    SetCommandLine(argc, argv);
    WinMain(GetModuleHandleA(nullptr), nullptr, nullptr, SW_SHOWNORMAL);
    return ExitCodeAfterWinMain();
}
