// GetLocalTime, GetVersionExA and GlobalMemoryStatus from the C library, uname and sysinfo.
// Limits: the version is the kernel release ("6.1.0-18" reads as 6.1 build 0) under the NT
// platform id; the virtual address space is reported as a 32-bit program's user half.
#include <sys/sysinfo.h>
#include <sys/utsname.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <windows.h>

namespace {

constexpr DWORD kPlatformNt = 2;
constexpr uint64_t kDwordMax = 0xFFFFFFFFu;

// Reads the leading number of text and moves past it and one following separator.
DWORD TakeNumber(const char*& text) {
    uint64_t value = 0;
    while (*text >= '0' && *text <= '9') {
        value = value * 10 + static_cast<uint64_t>(*text - '0');
        if (value > kDwordMax) value = kDwordMax;
        ++text;
    }
    if (*text == '.') ++text;
    return static_cast<DWORD>(value);
}

// MemAvailable counts reclaimable caches as available, which is what the figure is for.
bool ReadMemAvailable(uint64_t& bytes) {
    std::FILE* file = std::fopen("/proc/meminfo", "re");
    if (!file) return false;
    char line[256];
    bool found = false;
    while (std::fgets(line, sizeof line, file)) {
        unsigned long long kib = 0;
        if (std::sscanf(line, "MemAvailable: %llu kB", &kib) == 1) {
            bytes = static_cast<uint64_t>(kib) * 1024u;
            found = true;
            break;
        }
    }
    std::fclose(file);
    return found;
}

} // namespace

void GetLocalTime(SYSTEMTIME* time) {
    if (time == nullptr) return;
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    std::tm local{};
    localtime_r(&now.tv_sec, &local);
    time->wYear = static_cast<WORD>(local.tm_year + 1900);
    time->wMonth = static_cast<WORD>(local.tm_mon + 1);
    time->wDayOfWeek = static_cast<WORD>(local.tm_wday);
    time->wDay = static_cast<WORD>(local.tm_mday);
    time->wHour = static_cast<WORD>(local.tm_hour);
    time->wMinute = static_cast<WORD>(local.tm_min);
    time->wSecond = static_cast<WORD>(local.tm_sec);
    time->wMilliseconds = static_cast<WORD>(now.tv_nsec / 1000000);
}

BOOL GetVersionExA(LPOSVERSIONINFOA info) {
    if (info == nullptr || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) return FALSE;
    utsname name{};
    if (uname(&name) != 0) return FALSE;
    const char* release = name.release;
    info->dwMajorVersion = TakeNumber(release);
    info->dwMinorVersion = TakeNumber(release);
    info->dwBuildNumber = TakeNumber(release);
    info->dwPlatformId = kPlatformNt;
    std::snprintf(info->szCSDVersion, sizeof info->szCSDVersion, "%s", name.sysname);
    return TRUE;
}

void GlobalMemoryStatus(LPMEMORYSTATUS status) {
    if (status == nullptr) return;
    struct sysinfo info {};
    if (sysinfo(&info) != 0) return; // the caller writes whatever the structure holds
    uint64_t unit = info.mem_unit ? info.mem_unit : 1;
    uint64_t total = static_cast<uint64_t>(info.totalram) * unit;
    uint64_t available = 0;
    if (!ReadMemAvailable(available))
        available = (static_cast<uint64_t>(info.freeram) + info.bufferram) * unit;
    if (available > total) available = total;
    uint64_t swapTotal = static_cast<uint64_t>(info.totalswap) * unit;
    uint64_t swapFree = static_cast<uint64_t>(info.freeswap) * unit;
    status->dwMemoryLoad = total ? static_cast<DWORD>((total - available) * 100 / total) : 0;
    status->dwTotalPhys = static_cast<SIZE_T>(total);
    status->dwAvailPhys = static_cast<SIZE_T>(available);
    status->dwTotalPageFile = static_cast<SIZE_T>(total + swapTotal);
    status->dwAvailPageFile = static_cast<SIZE_T>(available + swapFree);
    // The user half of a 32-bit address space, less the guard pages at both ends.
    status->dwTotalVirtual = 0x7FFE0000u;
    status->dwAvailVirtual = 0x7FFE0000u;
}
