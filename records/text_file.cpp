#include "records/text_file.h"

#include <cerrno>
#include <cstdio>

TextFileRead ReadTextFile(const char* path, std::size_t cap, std::string& text, int& reason) {
    text.clear();
    reason = 0;
    std::FILE* file = std::fopen(path, "rb");
    if (!file) {
        reason = errno;
        return TextFileRead::kCannotOpen;
    }
    char buffer[65536];
    bool tooLarge = false;
    std::size_t got;
    errno = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        if (text.size() + got > cap) {
            tooLarge = true;
            break;
        }
        text.append(buffer, got);
    }
    reason = std::ferror(file) != 0 ? (errno ? errno : EIO) : 0;
    std::fclose(file);
    if (tooLarge) {
        text.clear();
        return TextFileRead::kTooLarge;
    }
    return reason != 0 ? TextFileRead::kCannotRead : TextFileRead::kRead;
}
