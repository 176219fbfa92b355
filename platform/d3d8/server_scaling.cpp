// Full-screen presentation scaled by the X server: see server_scaling.h.
// The X headers stay in this file: their names (Window, Status, None, Bool) collide with the
// platform's own.
#include <platform/d3d8/server_scaling.h>

#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xrender.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace platform::d3d8 {

namespace {

// Xlib's handler is process-wide; the trap below owns it only for the span of one batch of
// requests, on the one thread that talks to the server.
int trappedError = 0;

int TrapError(Display*, XErrorEvent* event) {
    if (trappedError == 0) trappedError = event->error_code;
    return 0;
}

// X reports an error after the request that caused it. Without a trap, Xlib's default handler
// ends the process; with it, a refused request (a window gone, shared memory from a remote
// client) only sends presentation back to GL.
class ErrorTrap {
  public:
    explicit ErrorTrap(Display* display)
        : display_(display), previous_(XSetErrorHandler(TrapError)) {
        trappedError = 0;
    }
    ~ErrorTrap() { XSetErrorHandler(previous_); }
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;
    // Waits until the server has carried out every request so far; false if one failed.
    bool Sync() {
        XSync(display_, False);
        return trappedError == 0;
    }

  private:
    Display* display_;
    int (*previous_)(Display*, XErrorEvent*);
};

// Far beyond any desktop: a size past it is a caller's mistake, not a picture.
constexpr int kLargestSide = 16384;

} // namespace

struct ServerScaling::X {
    Display* display = nullptr;
    ::Window window = 0;
    Pixmap pixmap = 0;
    GC gc = nullptr;
    Picture source = 0, target = 0;
    XImage* image = nullptr;
    XShmSegmentInfo shm{};
    bool shmAttached = false;
    uint8_t* ownPixels = nullptr; // the image's pixels when the server shares no memory

    bool MakeSharedImage(Visual* visual, int width, int height);
    bool MakeOwnImage(Visual* visual, int width, int height);
    void DestroyImage();
    void Free();
};

bool ServerScaling::X::MakeSharedImage(Visual* visual, int width, int height) {
    if (!XShmQueryExtension(display)) return false;
    image = XShmCreateImage(display, visual, 24, ZPixmap, nullptr, &shm, width, height);
    if (!image) return false;
    shm.shmid = shmget(IPC_PRIVATE, size_t(image->bytes_per_line) * height, IPC_CREAT | 0600);
    if (shm.shmid < 0) return false;
    shm.shmaddr = image->data = static_cast<char*>(shmat(shm.shmid, nullptr, 0));
    // Marked for removal at once: the segment then goes with the last process attached to it,
    // however this one ends.
    shmctl(shm.shmid, IPC_RMID, nullptr);
    if (shm.shmaddr == reinterpret_cast<char*>(-1)) {
        shm.shmaddr = image->data = nullptr;
        return false;
    }
    shm.readOnly = True;
    ErrorTrap trap(display);
    XShmAttach(display, &shm);
    shmAttached = trap.Sync();
    return shmAttached;
}

bool ServerScaling::X::MakeOwnImage(Visual* visual, int width, int height) {
    ownPixels = static_cast<uint8_t*>(std::calloc(size_t(width) * height, 4));
    if (!ownPixels) return false;
    image = XCreateImage(display, visual, 24, ZPixmap, 0, reinterpret_cast<char*>(ownPixels), width,
                         height, 32, width * 4);
    return image != nullptr;
}

// The image's pixels are shared memory or ours; Free lets go of either, never Xlib.
void ServerScaling::X::DestroyImage() {
    if (!image) return;
    image->data = nullptr;
    XDestroyImage(image);
    image = nullptr;
}

void ServerScaling::X::Free() {
    // The server still lives while SDL's video does; after that the connection, and with it
    // everything made on it, is gone already.
    if (display && SDL_WasInit(SDL_INIT_VIDEO)) {
        ErrorTrap trap(display);
        // A picture of a destroyed window went with it; the trap takes the server's refusal.
        if (target) {
            XRenderFreePicture(display, target);
            // Back to what SDL gives a GL window: no background, so GL's frames never flicker.
            XSetWindowBackgroundPixmap(display, window, 0);
        }
        if (source) XRenderFreePicture(display, source);
        if (gc) XFreeGC(display, gc);
        if (pixmap) XFreePixmap(display, pixmap);
        if (shmAttached) XShmDetach(display, &shm);
        trap.Sync();
    }
    DestroyImage();
    if (shm.shmaddr) shmdt(shm.shmaddr);
    std::free(ownPixels);
}

ServerScaling::ServerScaling() : x_(std::make_unique<X>()) {}

ServerScaling::~ServerScaling() {
    x_->Free();
}

std::unique_ptr<ServerScaling> ServerScaling::Create(SDL_Window* window, int width, int height) {
    if (!window || width <= 0 || height <= 0 || width > kLargestSide || height > kLargestSide)
        return nullptr;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return nullptr;
    Display* display = info.info.x11.display;
    int eventBase = 0, errorBase = 0;
    if (!display || !XRenderQueryExtension(display, &eventBase, &errorBase)) return nullptr;
    // The pixels are written as GL's BGRA bytes, which is this visual's layout.
    XVisualInfo visual{};
    if (!XMatchVisualInfo(display, DefaultScreen(display), 24, TrueColor, &visual) ||
        visual.red_mask != 0xff0000 || visual.green_mask != 0xff00 || visual.blue_mask != 0xff)
        return nullptr;
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, info.info.x11.window, &attributes)) return nullptr;
    XRenderPictFormat* windowFormat = XRenderFindVisualFormat(display, attributes.visual);
    XRenderPictFormat* sourceFormat = XRenderFindStandardFormat(display, PictStandardRGB24);
    if (!windowFormat || !sourceFormat) return nullptr;

    std::unique_ptr<ServerScaling> result(new ServerScaling);
    X& x = *result->x_;
    x.display = display;
    x.window = info.info.x11.window;
    {
        ErrorTrap trap(display);
        x.pixmap = XCreatePixmap(display, x.window, width, height, 24);
        x.gc = XCreateGC(display, x.pixmap, 0, nullptr);
        x.source = XRenderCreatePicture(display, x.pixmap, sourceFormat, 0, nullptr);
        x.target = XRenderCreatePicture(display, x.window, windowFormat, 0, nullptr);
        // The server paints what an expose uncovers black by itself, so the bars are drawn
        // only when they move, not every frame.
        XSetWindowBackground(display, x.window, BlackPixel(display, DefaultScreen(display)));
        // The filter reads past the picture's edge pixels; padding repeats them there, where
        // no repeat would blend the edges with transparent black.
        XRenderPictureAttributes padded{};
        padded.repeat = RepeatPad;
        XRenderChangePicture(display, x.source, CPRepeat, &padded);
        if (!trap.Sync()) return nullptr;
    }
    if (!x.MakeSharedImage(visual.visual, width, height)) {
        x.DestroyImage();
        if (!x.MakeOwnImage(visual.visual, width, height)) return nullptr;
    }
    result->window_ = window;
    result->width_ = width;
    result->height_ = height;
    result->pixels_ = reinterpret_cast<uint8_t*>(x.image->data);
    result->pitch_ = size_t(x.image->bytes_per_line);
    return result;
}

bool ServerScaling::Present(const int source[4], const int dest[4], int windowWidth,
                            int windowHeight) {
    X& x = *x_;
    const int sourceWidth = source[2] - source[0], sourceHeight = source[3] - source[1];
    const int width = dest[2] - dest[0], height = dest[3] - dest[1];
    if (sourceWidth <= 0 || sourceHeight <= 0 || width <= 0 || height <= 0) return false;
    ErrorTrap trap(x.display);
    if (x.shmAttached)
        XShmPutImage(x.display, x.pixmap, x.gc, x.image, source[0], source[1], source[0], source[1],
                     sourceWidth, sourceHeight, False);
    else
        XPutImage(x.display, x.pixmap, x.gc, x.image, source[0], source[1], source[0], source[1],
                  sourceWidth, sourceHeight);
    const int sizes[4] = {sourceWidth, sourceHeight, width, height};
    if (!std::equal(sizes, sizes + 4, scaledFor_)) {
        // The transform maps window pixels to picture pixels. At a whole multiple every pixel
        // centre lands well inside one picture pixel and nearest sampling copies whole pixels;
        // at any other scale nearest sampling would double some rows and not others, so the
        // picture is filtered.
        const bool whole = width % sourceWidth == 0 && height % sourceHeight == 0 &&
                           width / sourceWidth == height / sourceHeight;
        XTransform transform = {{{XDoubleToFixed(double(sourceWidth) / width), 0, 0},
                                 {0, XDoubleToFixed(double(sourceHeight) / height), 0},
                                 {0, 0, XDoubleToFixed(1.0)}}};
        XRenderSetPictureTransform(x.display, x.source, &transform);
        XRenderSetPictureFilter(x.display, x.source,
                                const_cast<char*>(whole ? FilterNearest : FilterBilinear), nullptr,
                                0);
        std::copy(sizes, sizes + 4, scaledFor_);
    }
    XRenderComposite(x.display, PictOpSrc, x.source, 0, x.target,
                     int(int64_t(source[0]) * width / sourceWidth),
                     int(int64_t(source[1]) * height / sourceHeight), 0, 0, dest[0], dest[1],
                     unsigned(width), unsigned(height));
    const int placement[4] = {dest[0], dest[1], windowWidth, windowHeight};
    if (!std::equal(placement, placement + 4, barsDrawnFor_)) {
        FillBars(dest[0], dest[1], width, height, windowWidth, windowHeight);
        std::copy(placement, placement + 4, barsDrawnFor_);
    }
    // Waiting here keeps the shared pixels untouched until the server has read them, and
    // catches a failed request in this frame rather than in some later one.
    return trap.Sync();
}

// Black on what the picture leaves of the window, and nowhere else.
void ServerScaling::FillBars(int left, int top, int width, int height, int windowWidth,
                             int windowHeight) {
    X& x = *x_;
    const int right = std::clamp(left + width, 0, windowWidth);
    const int bottom = std::clamp(top + height, 0, windowHeight);
    const int pictureLeft = std::clamp(left, 0, right), pictureTop = std::clamp(top, 0, bottom);
    const XRenderColor black{0, 0, 0, 0xffff};
    const int bars[4][4] = {{0, 0, windowWidth, pictureTop},
                            {0, bottom, windowWidth, windowHeight - bottom},
                            {0, pictureTop, pictureLeft, bottom - pictureTop},
                            {right, pictureTop, windowWidth - right, bottom - pictureTop}};
    for (const auto& bar : bars)
        if (bar[2] > 0 && bar[3] > 0)
            XRenderFillRectangle(x.display, PictOpSrc, x.target, &black, bar[0], bar[1],
                                 unsigned(bar[2]), unsigned(bar[3]));
}

} // namespace platform::d3d8
