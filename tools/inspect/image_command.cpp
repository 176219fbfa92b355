#if __has_include("tools/inspect/commands.h")
#include "tools/inspect/commands.h"
#endif
int RunImageCommand(int, char**) { return 1; }
