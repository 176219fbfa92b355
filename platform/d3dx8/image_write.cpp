// PNG writing through libpng: 8-bit RGBA, no interlacing, default compression. The picture is
// written to a temporary file beside its final name, synced and renamed into place, so a failed
// write (a full disk, an I/O error) leaves the old file as it was and nothing else behind.
// Platform calls: png_create_write_struct, png_init_io, png_write_info, png_write_image,
// png_write_end, mkostemp, fdopen, fflush, fsync, fchmod, umask, realpath, rename, unlink.
#include <platform/d3dx8/image_write.h>

#include <platform/d3dx8/image_decoders.h>
#include <platform/i18n/i18n.h>
#include <platform/win32/output_files.h>

#include <fcntl.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace platform::d3dx {

namespace {

[[noreturn]] void RaiseWriteError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void IgnoreWriteWarning(png_structp, png_const_charp) {}

struct PngWriteState {
    FILE* file = nullptr;
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::vector<png_bytep> rows;
    ~PngWriteState() {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        if (file) std::fclose(file);
    }
};

bool WriteRows(PngWriteState& state, uint32_t width, uint32_t height) {
    if (setjmp(png_jmpbuf(state.png))) return false;
    png_init_io(state.png, state.file);
    png_set_IHDR(state.png, state.info, width, height, 8, PNG_COLOR_TYPE_RGB_ALPHA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(state.png, state.info);
    png_write_image(state.png, state.rows.data());
    png_write_end(state.png, nullptr);
    return true;
}

} // namespace

namespace {

// The file a write to `path` should replace: the end of a link rather than the link itself.
std::string Destination(const char* path) {
    struct stat link {};
    if (lstat(path, &link) != 0 || !S_ISLNK(link.st_mode)) return path;
    char resolved[PATH_MAX];
    return realpath(path, resolved) ? std::string(resolved) : std::string(path);
}

// Permissions the file would have had if made by open(2): the old file's, else 0666 less umask.
mode_t ModeFor(const std::string& path) {
    struct stat old {};
    if (stat(path.c_str(), &old) == 0) return old.st_mode & 07777;
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

} // namespace

bool WritePngRgba(const char* path, uint32_t width, uint32_t height, const uint8_t* rgba,
                  std::string& error) {
    size_t bytes = 0;
    std::string sizeError;
    if (!path || !*path) {
        error = "cannot write a picture: no file name";
        return false;
    }
    const std::string shown = std::string("cannot write ") + path + ": ";
    if (!rgba || !CheckImageSize(width, height, bytes, sizeError)) {
        error = shown + (rgba ? sizeError : "no pixels");
        return false;
    }
    const std::string target = Destination(path);
    const std::string standing = platform::NotARegularFile(target);
    if (!standing.empty()) {
        error = FormatText(_("cannot write %s: %s"), path,
                           FormatText(_("it is %s, not a regular file"), standing.c_str()).c_str());
        return false;
    }
    const size_t slash = target.rfind('/');
    std::string temporary =
        (slash == std::string::npos ? std::string() : target.substr(0, slash + 1)) +
        ".koltrep-XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        error = shown + std::strerror(errno);
        return false;
    }
    int reason = 0;
    {
        PngWriteState state;
        state.file = fdopen(fd, "wb");
        if (!state.file) {
            reason = errno;
            close(fd);
        } else {
            state.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, RaiseWriteError,
                                                IgnoreWriteWarning);
            if (state.png) state.info = png_create_info_struct(state.png);
            bool ok = state.info != nullptr;
            if (ok) {
                state.rows.resize(height);
                for (uint32_t y = 0; y < height; ++y)
                    state.rows[y] =
                        const_cast<png_bytep>(rgba + static_cast<size_t>(y) * width * 4);
                errno = 0;
                ok = WriteRows(state, width, height);
                if (!ok) reason = errno ? errno : EIO;
            } else {
                reason = ENOMEM;
            }
            if (ok && std::fflush(state.file) != 0) reason = errno;
            if (!reason && fsync(fd) != 0) reason = errno;
            if (!reason && fchmod(fd, ModeFor(target)) != 0) reason = errno;
            FILE* file = state.file;
            state.file = nullptr;
            if (std::fclose(file) != 0 && !reason) reason = errno;
        }
    }
    if (!reason && std::rename(temporary.c_str(), target.c_str()) != 0) reason = errno;
    if (reason) {
        unlink(temporary.c_str());
        error = shown + std::strerror(reason);
        return false;
    }
    return true;
}

bool WritePngRgba(const char* path, uint32_t width, uint32_t height, const uint8_t* rgba) {
    std::string ignored;
    return WritePngRgba(path, width, height, rgba, ignored);
}

} // namespace platform::d3dx
