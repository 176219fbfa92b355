// Panels and notices over the picture.
#include "gfx/overlay.h"

#include <cstdlib>
#include <cstring>

#include "gfx/device/d3d_device.h"
#include "gfx/immediate.h"

namespace {

struct ScreenVertex {
    float x, y, z, rhw;
    D3DCOLOR diffuse;
};
constexpr DWORD kScreenFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE;

// The bottom line of the picture: the help, the camera line and the gait panel's text leave it
// free, and a path of 78 characters fits its width.
constexpr int kNoticeTop = 458;
constexpr int kNoticeLeft = 4;
constexpr D3DCOLOR kNoticeBackground = 0xC0000000;

std::string notice;
int noticeTicksLeft = 0;

} // namespace

void DrawScreenPanel(float left, float top, float right, float bottom, D3DCOLOR color) {
    const ScreenVertex corners[4] = {
        {left, top, 0, 1, color},
        {right, top, 0, 1, color},
        {right, bottom, 0, 1, color},
        {left, bottom, 0, 1, color},
    };
    IDirect3DBaseTexture8* texture = nullptr;
    d3dDevice->GetTexture(0, &texture);
    d3dDevice->SetTexture(0, nullptr);
    d3dDevice->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    d3dDevice->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    VertexBuffer vb;
    if (vb.Create(corners, kScreenFvf, sizeof corners)) vb.DrawFan(2);
    d3dDevice->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    d3dDevice->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    d3dDevice->SetTexture(0, texture);
    if (texture) texture->Release();
}

void ShowNotice(const std::string& text) {
    notice = text;
    noticeTicksLeft = kNoticeTicks;
    if (notice.size() <= kNoticeColumns) return;
    std::size_t head = notice.find(": ");
    head = head == std::string::npos || head > kNoticeColumns / 2 ? 0 : head + 2;
    std::size_t tail = kNoticeColumns - head - 3;
    notice = notice.substr(0, head) + "..." + notice.substr(notice.size() - tail);
}

std::string NoticePath(const std::string& path) {
    const char* home = std::getenv("HOME");
    std::size_t length = home ? std::strlen(home) : 0;
    while (length > 1 && home[length - 1] == '/')
        --length;
    if (length > 1 && path.compare(0, length, home, length) == 0 &&
        (path.size() == length || path[length] == '/'))
        return "~" + path.substr(length);
    return path;
}

const std::string& CurrentNotice() {
    static const std::string none;
    return noticeTicksLeft > 0 ? notice : none;
}

void DrawNotice() {
    if (noticeTicksLeft <= 0) return;
    --noticeTicksLeft;
    DrawScreenPanel(0.0f, kNoticeTop - 2.0f, static_cast<float>(backBufferWidth),
                    static_cast<float>(backBufferHeight), kNoticeBackground);
    BeginText();
    DrawTextAt(kNoticeLeft, kNoticeTop, notice.c_str());
    EndText();
}
