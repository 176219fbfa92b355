// The debug log (its file, the CP932 conversion, the system report at start-up) and the
// command-line option test.
#include "shell/debug_log.h"

#include <windows.h>

#include <platform/win32/regular_file.h>

#include <fcntl.h>
#include <unistd.h>

#include <iconv.h>

#include <platform/win32/install_folders.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

char logPath[MAX_PATH];
char logLine[1024];

namespace {

int argumentCount = 0;
char** argumentValues = nullptr;

const char kSeparator[] = "----------------------------------------\n";

// Our strings are UTF-8; the file keeps the Windows form: CP932 bytes with CR LF. A character
// CP932 lacks becomes '?', and a character cut in half by the line's bound is dropped, so a
// bad byte never costs the rest of the message. One character at a time: the file is opened
// and closed per message anyway.
size_t ToFileText(const char* text, char* out, size_t outSize) {
    static const iconv_t toCp932 = iconv_open("CP932", "UTF-8");
    const bool canConvert = toCp932 != reinterpret_cast<iconv_t>(-1);
    size_t used = 0;
    const char* next = text;
    while (*next != '\0' && used + 2 <= outSize) {
        if (*next == '\n') {
            out[used++] = '\r';
            out[used++] = '\n';
            ++next;
            continue;
        }
        unsigned char lead = static_cast<unsigned char>(*next);
        size_t length = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        for (size_t i = 1; i < length; ++i)
            if (next[i] == '\0') return used; // cut off by the bound of logLine
        char* in = const_cast<char*>(next);
        size_t inLeft = length;
        char* converted = out + used;
        size_t outLeft = outSize - used;
        if (canConvert &&
            iconv(toCp932, &in, &inLeft, &converted, &outLeft) != static_cast<size_t>(-1)) {
            used = static_cast<size_t>(converted - out);
        } else {
            if (canConvert) iconv(toCp932, nullptr, nullptr, nullptr, nullptr);
            out[used++] = lead < 0x80 ? *next : '?';
        }
        next += length;
    }
    return used;
}

void WriteLogLine() {
    if (logPath[0] == '\0') {
        OutputDebugStringA(logLine);
        return;
    }
    static char fileText[2 * sizeof logLine + 8];
    size_t length = ToFileText(logLine, fileText, sizeof fileText);
    // A FIFO or device named debug.txt would block the open or swallow the log: only a regular
    // file is written.
    std::string reason;
    const int file =
        platform::OpenRegularFile(logPath, O_WRONLY | O_APPEND | O_CREAT, reason, nullptr);
    bool written = file >= 0 && write(file, fileText, length) == static_cast<ssize_t>(length);
    if (file >= 0 && close(file) != 0) written = false;
    if (!written) {
        // The file is out of reach (removed folder, full disk, not a file): the message is not
        // lost.
        std::fputs(logLine, stderr);
        std::fflush(stderr);
    }
}

} // namespace

void SetCommandLine(int argc, char** argv) {
    argumentCount = argc;
    argumentValues = argv;
}

bool HasOption(const char* text) {
    for (int i = 1; i < argumentCount; ++i)
        if (argumentValues[i] != nullptr && std::strcmp(argumentValues[i], text) == 0) return true;
    return false;
}

bool GetModuleDirectory(char* buffer) {
    DWORD length = GetModuleFileNameA(GetModuleHandleA(nullptr), buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        // Unknown, or cut short: a directory taken from a cut path would be a wrong one.
        buffer[0] = '\0';
        return false;
    }
    for (DWORD i = length; i > 0 && buffer[i - 1] != '/' && buffer[i - 1] != '\\'; --i)
        buffer[i - 1] = '\0';
    return true;
}

bool InitDebugStream() {
    logPath[0] = '\0';
    if (HasOption("-dbf")) {
        char directory[MAX_PATH];
        bool known = GetModuleDirectory(directory);
        int length = std::snprintf(logPath, sizeof logPath, "%sdebug.txt", directory);
        if (!known || length < 0 || static_cast<size_t>(length) >= sizeof logPath) {
            logPath[0] = '\0';
            // Our own hint, not a log line: it must be seen even when the debugger output is not.
            std::fputs("koltrep: debug.txt: the executable's folder is not known or its path is "
                       "too long; the log goes to the debugger output\n",
                       stderr);
        } else {
            // An installed program's folder cannot be written: the user's state folder then.
            std::string writable = platform::WritableLogPath(logPath);
            if (writable.size() < sizeof logPath)
                std::memcpy(logPath, writable.c_str(), writable.size() + 1);
        }
    }
    DebugSeparator();
    DebugPrint("InitDebugStream\n");
    LogSystemInfo();
    return true;
}

void DebugPrint(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    // Bounded: a longer message is cut at the end of logLine.
    std::vsnprintf(logLine, sizeof logLine, format, arguments);
    va_end(arguments);
    WriteLogLine();
}

void DebugSeparator() {
    std::memcpy(logLine, kSeparator, sizeof kSeparator);
    WriteLogLine();
}

void LogSystemInfo() {
    SYSTEMTIME time;
    GetLocalTime(&time);
    DebugPrint("%4d/%02d/%02d  %02d:%02d\n", time.wYear, time.wMonth, time.wDay, time.wHour,
               time.wMinute);

    OSVERSIONINFOA version;
    std::memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = 148;
    GetVersionExA(&version);
    DebugPrint("OS = ID %d ver,%d.%d build %d\n", static_cast<int>(version.dwPlatformId),
               static_cast<int>(version.dwMajorVersion), static_cast<int>(version.dwMinorVersion),
               static_cast<int>(version.dwBuildNumber));

    MEMORYSTATUS memory;
    std::memset(&memory, 0, sizeof memory);
    memory.dwLength = 32;
    GlobalMemoryStatus(&memory);
    DebugPrint("利用可能／搭載メモリ = %d/%d MB\n", static_cast<int>(memory.dwAvailPhys >> 20),
               static_cast<int>(memory.dwTotalPhys >> 20));
}
