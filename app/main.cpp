// Process entry: hands the runtime's argument vector to the option test, then enters WinMain.
// The Application's shut-down runs afterwards, at process exit.
#include "app/application.h"
#include "app/debug_log.h"

int main(int argc, char** argv) {
    SetCommandLine(argc, argv);
    return WinMain(GetModuleHandleA(nullptr), nullptr, nullptr, SW_SHOWNORMAL);
}
