// Kernel objects: CreateMutexA, WaitForSingleObject, ReleaseMutex, CloseHandle; and COM's
// CoInitialize/CoUninitialize, which have nothing to do here.
// A named mutex is a per-user lock file held with flock, so the kernel frees it when its holder
// dies. The holder's pid stays in the file until ReleaseMutex empties it: a free lock whose file
// still names a holder was abandoned, and the next owner is told WAIT_ABANDONED. A lock file
// that cannot be used moves to a private per-user folder, and failing that the mutex guards
// only its own process, with the reason on stderr: only a live holder means "running already".
// Limits: mutexes only (no events or semaphores); one thread; a handle is a number, never a
// pointer, so a stale or forged handle is refused instead of followed; unnamed mutexes are
// process-local.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <string>

#include <platform/win32/services.h>
#include <windows.h>
#include <platform/i18n/i18n.h>

namespace platform {
namespace {

struct MutexObject {
    std::string path;
    int fd = -1;       // the lock file; -1 for an unnamed mutex
    int recursion = 0; // how many waits this process holds
    int handleCount = 0;
    pid_t process = getpid(); // the process that opened fd

    ~MutexObject() {
        if (fd >= 0) close(fd); // drops the lock; a pid left in the file marks it abandoned
    }
};

struct Kernel {
    std::map<uintptr_t, std::shared_ptr<MutexObject>> handles;
    // By lock file, so a mutex of the same name under another lock folder is another mutex.
    std::map<std::string, std::weak_ptr<MutexObject>> byPath;
    uintptr_t nextHandle = 0x1000;
    std::string lockFolder;
};

// Never destroyed: the Application releases its mutex from a static destructor at exit.
Kernel& TheKernel() {
    static Kernel* kernel = new Kernel;
    return *kernel;
}

int OpenLockFile(const std::string& path);

// A forked child shares its parent's open lock file, and flock would take the parent's lock for
// the child's own: the child opens the file afresh and owns nothing it inherited.
void SeparateFromParent(MutexObject& mutex) {
    if (mutex.process == getpid()) return;
    mutex.process = getpid();
    mutex.recursion = 0;
    if (mutex.fd < 0) return;
    close(mutex.fd); // the parent's lock stays: its own descriptor still holds it
    mutex.fd = OpenLockFile(mutex.path);
}

std::shared_ptr<MutexObject> FindMutex(HANDLE handle) {
    auto& handles = TheKernel().handles;
    auto it = handles.find(reinterpret_cast<uintptr_t>(handle));
    if (it == handles.end()) return nullptr;
    SeparateFromParent(*it->second);
    return it->second;
}

std::string FileNamePart(const char* name) {
    std::string part;
    for (const char* c = name; *c; ++c) {
        bool plain = (*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') ||
                     (*c >= '0' && *c <= '9') || *c == '-' || *c == '.';
        part += plain ? *c : '_';
    }
    return part;
}

// Opens the lock file without following links, blocking or taking one that another user
// planted; -1 with the reason set when the file cannot serve.
int OpenLockFile(const std::string& path, std::string& reason) {
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0) {
        reason = path + ": " + std::strerror(errno);
        return -1;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != geteuid()) {
        reason = path + ": not a file of this user";
        close(fd);
        return -1;
    }
    return fd;
}

int OpenLockFile(const std::string& path) {
    std::string reason;
    return OpenLockFile(path, reason);
}

// The fallback folder: the temp folder's koltrep-<uid>, made with mode 0700 when missing. One
// that is a link, not a folder, another user's or open to others is refused, since whoever can
// write there could hold the lock or swap its file.
bool MakePrivateFolder(const std::string& folder, std::string& reason) {
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        reason = folder + ": " + std::strerror(errno);
        return false;
    }
    struct stat info {};
    if (lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != geteuid() ||
        (info.st_mode & 077) != 0) {
        reason = folder + ": not a private folder of this user";
        return false;
    }
    return true;
}

std::string TempFolder() {
    const char* temp = std::getenv("TMPDIR");
    return (temp && temp[0] == '/') ? temp : "/tmp";
}

// Takes the lock; tells whether the previous holder died holding it.
DWORD TakeLock(MutexObject& mutex, int lockFlags) {
    while (flock(mutex.fd, lockFlags) != 0) {
        if (errno == EINTR) continue;
        if (errno == EWOULDBLOCK) return WAIT_TIMEOUT;
        // Nobody holds it, the file cannot be locked at all (a network file system without
        // locks): the program starts, unguarded, rather than call itself already running.
        std::fprintf(stderr, _("koltrep: cannot lock %s: %s; starting without it\n"),
                     mutex.path.c_str(), std::strerror(errno));
        mutex.recursion = 1;
        return WAIT_OBJECT_0;
    }
    char previous[32] = {};
    ssize_t length = pread(mutex.fd, previous, sizeof previous - 1, 0);
    bool abandoned = length > 0;
    char pid[32];
    int pidLength = std::snprintf(pid, sizeof pid, "%ld\n", static_cast<long>(getpid()));
    if (ftruncate(mutex.fd, 0) != 0 || pwrite(mutex.fd, pid, pidLength, 0) != pidLength) {
        // Still ours; only a later start cannot tell a crash from a clean exit.
    }
    mutex.recursion = 1;
    return abandoned ? WAIT_ABANDONED : WAIT_OBJECT_0;
}

} // namespace

void SetLockFolder(const std::string& folder) {
    TheKernel().lockFolder = folder;
}

std::string LockFilePath(const char* mutexName) {
    std::string part = FileNamePart(mutexName);
    const std::string& folder = TheKernel().lockFolder;
    if (!folder.empty()) return folder + "/koltrep-" + part + ".lock";
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/') return std::string(runtime) + "/koltrep-" + part + ".lock";
    return TempFolder() + "/koltrep-" + std::to_string(geteuid()) + "-" + part + ".lock";
}

std::string PrivateLockFolder() {
    return TempFolder() + "/koltrep-" + std::to_string(geteuid());
}

} // namespace platform

using platform::MutexObject;

namespace platform {
namespace {

// The mutex of this lock file: the one this process has open already, else the file opened
// afresh; null with the reason set when the file cannot serve.
std::shared_ptr<MutexObject> NamedMutex(const std::string& path, std::string& reason) {
    auto& kernel = TheKernel();
    auto found = kernel.byPath.find(path);
    if (found != kernel.byPath.end())
        if (auto mutex = found->second.lock()) {
            SeparateFromParent(*mutex);
            return mutex;
        }
    int fd = OpenLockFile(path, reason);
    if (fd < 0) return nullptr;
    auto mutex = std::make_shared<MutexObject>();
    mutex->path = path;
    mutex->fd = fd;
    kernel.byPath[path] = mutex;
    return mutex;
}

// Only a lock held by a live process may keep the program from starting: a lock file that
// cannot be made or opened (runtime folder missing or read-only, something else at its path)
// moves to the private folder, and where that fails too the mutex guards this process alone.
std::shared_ptr<MutexObject> OpenMutex(const char* name) {
    if (name == nullptr) return std::make_shared<MutexObject>();
    std::string reason, fallbackReason;
    const std::string path = LockFilePath(name);
    if (auto mutex = NamedMutex(path, reason)) return mutex;
    const std::string folder = PrivateLockFolder();
    const std::string fallback = folder + "/koltrep-" + FileNamePart(name) + ".lock";
    if (MakePrivateFolder(folder, fallbackReason))
        if (auto mutex = NamedMutex(fallback, fallbackReason)) {
            std::fprintf(stderr, _("koltrep: cannot use lock file %s; using %s\n"), reason.c_str(),
                         fallback.c_str());
            return mutex;
        }
    std::fprintf(stderr, _("koltrep: no single-instance lock (%s; %s); starting without it\n"),
                 reason.c_str(), fallbackReason.c_str());
    return std::make_shared<MutexObject>();
}

} // namespace
} // namespace platform

HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL initialOwner, LPCSTR name) {
    auto& kernel = platform::TheKernel();
    std::shared_ptr<MutexObject> mutex = platform::OpenMutex(name);
    ++mutex->handleCount;
    uintptr_t handle = kernel.nextHandle++;
    kernel.handles[handle] = mutex;
    if (initialOwner) WaitForSingleObject(reinterpret_cast<HANDLE>(handle), 0);
    return reinterpret_cast<HANDLE>(handle);
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    auto mutex = platform::FindMutex(handle);
    if (!mutex) return WAIT_FAILED;
    if (mutex->recursion > 0) { // the owner may wait again, as with a Windows mutex
        ++mutex->recursion;
        return WAIT_OBJECT_0;
    }
    if (mutex->path.empty()) {
        mutex->recursion = 1;
        return WAIT_OBJECT_0;
    }
    if (mutex->fd < 0) return WAIT_FAILED; // its file could not be opened again
    if (milliseconds == INFINITE) return platform::TakeLock(*mutex, LOCK_EX);
    DWORD result = platform::TakeLock(*mutex, LOCK_EX | LOCK_NB);
    // A bounded wait polls: flock has no timeout of its own.
    for (DWORD waited = 0; result == WAIT_TIMEOUT && waited < milliseconds; waited += 10) {
        timespec pause{0, 10 * 1000000L};
        nanosleep(&pause, nullptr);
        result = platform::TakeLock(*mutex, LOCK_EX | LOCK_NB);
    }
    return result;
}

BOOL ReleaseMutex(HANDLE handle) {
    auto mutex = platform::FindMutex(handle);
    if (!mutex || mutex->recursion == 0) return FALSE;
    if (--mutex->recursion > 0) return TRUE;
    if (mutex->fd >= 0) {
        if (ftruncate(mutex->fd, 0) != 0) {
            // The lock is still given up; the next start merely reads it as abandoned.
        }
        flock(mutex->fd, LOCK_UN);
    }
    return TRUE;
}

BOOL CloseHandle(HANDLE handle) {
    auto& kernel = platform::TheKernel();
    auto it = kernel.handles.find(reinterpret_cast<uintptr_t>(handle));
    if (it == kernel.handles.end()) return FALSE;
    auto mutex = it->second;
    kernel.handles.erase(it);
    if (--mutex->handleCount == 0 && !mutex->path.empty()) kernel.byPath.erase(mutex->path);
    return TRUE;
}

HRESULT CoInitialize(LPVOID) {
    return S_OK;
}

void CoUninitialize() {}
