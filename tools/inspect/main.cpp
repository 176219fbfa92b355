// koltrep-inspect: looks into the program's data files with the program's own readers.
//   koltrep-inspect mesh FILE
//   koltrep-inspect image FILE [--raw OUT]
//   koltrep-inspect msgbox TEXT OUT.png
#include "commands.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "mesh") == 0) return RunMeshCommand(argc - 2, argv + 2);
    if (argc >= 2 && std::strcmp(argv[1], "image") == 0) return RunImageCommand(argc - 2, argv + 2);
    if (argc >= 2 && std::strcmp(argv[1], "msgbox") == 0)
        return RunMessageBoxCommand(argc - 2, argv + 2);
    std::fprintf(stderr, "usage: koltrep-inspect mesh FILE | image FILE [--raw OUT] | "
                         "msgbox TEXT OUT.png\n");
    return 1;
}
