// Process entry: hands the runtime's argument vector to the option test, then enters WinMain.
// The Application's shut-down runs afterwards, at process exit.
#include <cstdio>
#include <string>

#include "app/application.h"
#include "app/debug_log.h"
#include "app/drive_record.h"

int main(int argc, char** argv) {
    std::string error;
    if (!TakeDriveOptions(argc, argv, error)) {
        std::fprintf(stderr, "koltrep: %s\n%s", error.c_str(), kDriveOptionsUsage);
        return 2;
    }
    SetCommandLine(argc, argv);
    int code = WinMain(GetModuleHandleA(nullptr), nullptr, nullptr, SW_SHOWNORMAL);
    if (!FinishDriveRecording(error)) {
        std::fprintf(stderr, "koltrep: %s\n", error.c_str());
        if (code == 0) code = 1;
    }
    return code;
}
