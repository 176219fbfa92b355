// koltrep-inspect image FILE [--raw OUT]: decodes an image with the texture loader's decoder,
// prints "size W H" and, when asked, writes the pixels as 8-bit R, G, B, A rows from the top.
#include "commands.h"

#include <platform/d3dx8/image_decode.h>
#include <platform/i18n/i18n.h>
#include <platform/win32/output_files.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

int RunImageCommand(int argc, char** argv) {
    const char* file = nullptr;
    const char* rawPath = nullptr;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--raw") == 0) {
            if (i + 1 >= argc || rawPath) {
                std::fprintf(stderr, "image: %s\n", _("--raw needs one output file"));
                return 1;
            }
            rawPath = argv[++i];
        } else if (!file) {
            file = argv[i];
        } else {
            std::fprintf(stderr, "image: %s\n",
                         FormatText(_("unexpected argument %s"), argv[i]).c_str());
            return 1;
        }
    }
    if (!file) {
        std::fputs(_("usage: koltrep-inspect image FILE [--raw OUT]\n"), stderr);
        return 1;
    }
    std::string error;
    if (rawPath) {
        platform::OutputCheck check;
        check.Input("FILE", file);
        check.OutputFile("--raw", rawPath);
        if (!check.Check(error)) {
            std::fprintf(stderr, "image: %s\n", error.c_str());
            return 1;
        }
    }
    platform::d3dx::Image image;
    if (!platform::d3dx::DecodeImageFile(file, image, error)) {
        std::fprintf(stderr, "image: %s\n", error.c_str());
        return 1;
    }
    if (rawPath) {
        FILE* out = std::fopen(rawPath, "wb");
        if (!out) {
            const int reason = errno;
            std::fprintf(
                stderr, "image: %s\n",
                FormatText(_("cannot write %s: %s"), rawPath, std::strerror(reason)).c_str());
            return 1;
        }
        const bool written =
            std::fwrite(image.rgba.data(), 1, image.rgba.size(), out) == image.rgba.size();
        const int reason = written ? 0 : errno;
        if (std::fclose(out) != 0 || !written) {
            const int shown = reason ? reason : errno;
            std::remove(rawPath);
            std::fprintf(
                stderr, "image: %s\n",
                FormatText(_("cannot write %s: %s"), rawPath, std::strerror(shown)).c_str());
            return 1;
        }
    }
    std::printf("size %u %u\n", image.width, image.height);
    return 0;
}
