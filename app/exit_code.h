// The process exit code: 0 after a run that started and was ended by the user, one code per
// cause when the start-up stopped early. The message boxes and log lines stay as they are; the
// code is what tells a script or a desktop launcher that the run failed.
#pragma once

enum ExitCode {
    kExitNormal = 0,
    kExitDisplayLost = 1, // the X display went away during the run
    kExitAlreadyRunning = 2,
    kExitNoWindow = 3,
    kExitNoDirect3D = 4,
    kExitNoDirectInput = 5,
    kExitDriveFiles = 6, // a --record or --trace file cannot be written, no --data folder
    kExitMachine = 7,    // the --machine file, or a --crank-speed or --friction value, refused
};

// Read after WinMain has returned, from what the start-up left behind: each step creates its
// object only when every step before it succeeded, so the first one missing names the step
// that stopped it.
int ExitCodeAfterWinMain();
