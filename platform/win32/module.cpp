// GetModuleHandleA and GetModuleFileNameA for the executable itself, from /proc/self/exe.
// Limits: only the executable is a module (GetModuleHandleA of any name is null); the path
// uses '/' as its separator; a name that does not fit is cut and terminated, and the result
// then equals the buffer size, as on Windows.
#include <unistd.h>

#include <cstring>
#include <string>

#include <platform/win32/services.h>
#include <windows.h>

namespace platform {
namespace {

std::string& ModulePathOverride() {
    static std::string* path = new std::string;
    return *path;
}

char executableModule; // its address is the executable's module handle

} // namespace

void SetModulePath(const std::string& path) {
    ModulePathOverride() = path;
}

} // namespace platform

HMODULE GetModuleHandleA(LPCSTR moduleName) {
    if (moduleName != nullptr) return nullptr;
    return reinterpret_cast<HMODULE>(&platform::executableModule);
}

DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size) {
    if (module != nullptr && module != GetModuleHandleA(nullptr)) return 0;
    if (fileName == nullptr || size == 0) return 0;
    std::string path = platform::ModulePathOverride();
    if (path.empty()) {
        char link[4096];
        ssize_t length = readlink("/proc/self/exe", link, sizeof link);
        if (length <= 0 || static_cast<size_t>(length) >= sizeof link) {
            fileName[0] = '\0';
            return 0;
        }
        path.assign(link, static_cast<size_t>(length));
    }
    if (path.size() >= size) {
        std::memcpy(fileName, path.data(), size - 1);
        fileName[size - 1] = '\0';
        return size;
    }
    std::memcpy(fileName, path.c_str(), path.size() + 1);
    return static_cast<DWORD>(path.size());
}
