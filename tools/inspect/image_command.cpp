// koltrep-inspect image: placeholder until the image reader's own command lands here.
#include "commands.h"

#include <cstdio>

int RunImageCommand(int, char**) {
    std::fprintf(stderr, "image: not available in this build\n");
    return 1;
}
