// Platform calls: open with O_NONBLOCK, fstat, fcntl(F_SETFL).
#include <platform/win32/regular_file.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform {

namespace {

const char* NotAFile(mode_t mode) {
    return S_ISDIR(mode) ? "a folder, not a file" : "not a regular file";
}

} // namespace

int OpenRegularFile(const char* path, int flags, std::string& reason, uint64_t* size) {
    // A device is not even opened when it can be seen first: opening some has side effects.
    struct stat seen {};
    if (stat(path, &seen) == 0 && !S_ISREG(seen.st_mode)) {
        reason = NotAFile(seen.st_mode);
        return -1;
    }
    const int fd = open(path, flags | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) {
        // A FIFO opened for writing without a reader says ENXIO: it is still not a file.
        reason = errno == ENXIO ? "not a regular file" : std::strerror(errno);
        return -1;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        reason = NotAFile(info.st_mode);
        close(fd);
        return -1;
    }
    // Reads of a regular file never block anyway; the flag is cleared so writes behave as usual.
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (size) *size = uint64_t(info.st_size);
    return fd;
}

} // namespace platform
