// koltrep-inspect: looks into the program's data files with the program's own readers.
//   koltrep-inspect mesh FILE
//   koltrep-inspect image FILE [--raw OUT]
//   koltrep-inspect msgbox TEXT OUT.png
//   koltrep-inspect machine [FILE]
#include "commands.h"

#include "shell/usage.h"

#include <platform/i18n/i18n.h>

#include <cstdio>
#include <cstring>

namespace {

const char kUsage[] =
    N_("usage: koltrep-inspect mesh FILE | image FILE [--raw OUT] | msgbox TEXT OUT.png |\n"
       "                       machine [FILE]\n");

const char kHelp[] =
    N_("usage: koltrep-inspect mesh FILE | image FILE [--raw OUT] | msgbox TEXT OUT.png |\n"
       "                       machine [FILE]\n"
       "\n"
       "Checks the program's data files with the program's own readers. A file is read as\n"
       "named; no data folder is searched.\n"
       "  mesh FILE    reads a .x file and prints its vertices, faces, subsets, materials and\n"
       "               the texture files they name\n"
       "  image FILE   decodes a PNG, JPEG or BMP file and prints \"size WIDTH HEIGHT\"\n"
       "  --raw OUT    also writes the pixels to OUT: WIDTH x HEIGHT pixels, rows from the top,\n"
       "               4 bytes each (R, G, B, A), no header\n"
       "  msgbox TEXT OUT.png  draws the message box the program shows for TEXT as a PNG and\n"
       "               prints its size, its button's place and the glyphs the font lacks\n"
       "  machine [FILE]  prints the built-in machine as a commented machine file to copy and\n"
       "               edit (koltrep --machine FILE); with FILE, checks it and prints its machine\n"
       "  -h, --help   show this text and exit\n"
       "  --version    show the version and exit\n"
       "Exit code 0 when the file reads (or the picture is written), 1 otherwise.\n");

} // namespace

int main(int argc, char** argv) {
    InitMessages(); // before any strerror: the system's reasons in the user's language
    AnswerHelpOrVersion(argc, argv, "koltrep-inspect", _(kHelp));
    if (argc >= 2 && std::strcmp(argv[1], "mesh") == 0) return RunMeshCommand(argc - 2, argv + 2);
    if (argc >= 2 && std::strcmp(argv[1], "image") == 0) return RunImageCommand(argc - 2, argv + 2);
    if (argc >= 2 && std::strcmp(argv[1], "machine") == 0)
        return RunMachineCommand(argc - 2, argv + 2);
    if (argc >= 2 && std::strcmp(argv[1], "msgbox") == 0)
        return RunMessageBoxCommand(argc - 2, argv + 2);
    std::fputs(_(kUsage), stderr);
    return 1;
}
