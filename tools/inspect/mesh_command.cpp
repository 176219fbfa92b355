// koltrep-inspect mesh FILE
#include "commands.h"

int RunMeshCommand(int, char**) {
    return 1;
}
