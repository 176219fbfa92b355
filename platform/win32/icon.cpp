// LoadIconA for icon resource 101, the program's icon: a small walking machine drawn here in
// code (box chassis, cannon, four of its eight legs seen from the side), 32 x 32 RGBA.
// Limits: resource 101 is the only icon; other names and the system icons give null.
#include <array>
#include <cstdint>
#include <cstdlib>

#include <platform/win32/window_internal.h>
#include <windows.h>

namespace {

constexpr int kSize = 32;
constexpr uintptr_t kProgramIconId = 101;
char programIcon; // its address is the handle of icon 101

using Image = std::array<uint32_t, kSize * kSize>; // 0xAARRGGBB

constexpr uint32_t kBody = 0xFFE09020;
constexpr uint32_t kBodyEdge = 0xFF7A4A0C;
constexpr uint32_t kLeg = 0xFF5878A0;
constexpr uint32_t kFoot = 0xFF283848;
constexpr uint32_t kCannon = 0xFF909090;
constexpr uint32_t kBeam = 0xFFFF3030;

void Put(Image& image, int x, int y, uint32_t colour) {
    if (x >= 0 && x < kSize && y >= 0 && y < kSize) image[y * kSize + x] = colour;
}

void FillRect(Image& image, int left, int top, int right, int bottom, uint32_t colour) {
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x)
            Put(image, x, y, colour);
}

// A two-pixel-wide line: legs should stay visible at 16 x 16 too.
void Line(Image& image, int x0, int y0, int x1, int y1, uint32_t colour) {
    int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    int error = dx + dy;
    for (;;) {
        Put(image, x0, y0, colour);
        Put(image, x0 + 1, y0, colour);
        if (x0 == x1 && y0 == y1) break;
        int twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            x0 += sx;
        }
        if (twice <= dx) {
            error += dx;
            y0 += sy;
        }
    }
}

Image DrawProgramIcon() {
    Image image{}; // transparent
    // Legs first, so the chassis covers their upper joints. Each is a lambda: a long
    // coupler from the chassis to the foot, with a short crank link meeting it halfway.
    const int hips[4] = {7, 12, 18, 23};
    const int feet[4] = {4, 13, 16, 25};
    for (int i = 0; i < 4; ++i) {
        Line(image, hips[i], 14, feet[i], 27, kLeg);
        Line(image, hips[i] + (i % 2 ? -2 : 2), 15, (hips[i] + feet[i]) / 2, 21, kLeg);
        FillRect(image, feet[i] - 1, 28, feet[i] + 2, 29, kFoot);
    }
    FillRect(image, 4, 8, 27, 15, kBodyEdge);
    FillRect(image, 5, 9, 26, 14, kBody);
    FillRect(image, 14, 5, 21, 8, kBodyEdge); // turret
    FillRect(image, 15, 6, 20, 8, kBody);
    FillRect(image, 21, 6, 29, 7, kCannon);
    FillRect(image, 30, 6, 31, 7, kBeam);
    return image;
}

} // namespace

HICON LoadIconA(HINSTANCE, LPCSTR name) {
    if (reinterpret_cast<uintptr_t>(name) != kProgramIconId) return nullptr;
    return reinterpret_cast<HICON>(&programIcon);
}

namespace platform::detail {

SDL_Surface* CreateIconSurface(HICON icon) {
    if (icon != reinterpret_cast<HICON>(&programIcon)) return nullptr;
    SDL_Surface* surface =
        SDL_CreateRGBSurfaceWithFormat(0, kSize, kSize, 32, SDL_PIXELFORMAT_ARGB8888);
    if (surface == nullptr) return nullptr;
    Image image = DrawProgramIcon();
    SDL_LockSurface(surface);
    for (int y = 0; y < kSize; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(surface->pixels) +
                                                y * surface->pitch);
        for (int x = 0; x < kSize; ++x)
            row[x] = image[y * kSize + x];
    }
    SDL_UnlockSurface(surface);
    return surface;
}

} // namespace platform::detail
