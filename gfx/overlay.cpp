// Panels and notices over the picture.
#include "gfx/overlay.h"

#include <cstdlib>
#include <cstring>
#include <vector>

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

// One character of a UTF-8 text: its bytes and the columns it takes in the font (half-width
// ones one, the others, Japanese, two).
struct Character {
    size_t begin, end;
    int columns;
};

std::vector<Character> Characters(const std::string& text) {
    std::vector<Character> characters;
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        size_t end = i + 1;
        while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
            ++end;
        // EF BD A1 .. EF BE 9F: the half-width katakana, one column like ASCII.
        const bool halfKana =
            end - i == 3 && lead == 0xEF &&
            (text.compare(i, 2, "\xEF\xBD") == 0 ? text[i + 2] >= '\xA1'
                                                 : text.compare(i, 2, "\xEF\xBE") == 0);
        characters.push_back({i, end, lead < 0x80 || halfKana ? 1 : 2});
        i = end;
    }
    return characters;
}

// Where a notice's path starts (its first word that begins with '/' or '~'), else after its
// first ": "; what stands before is kept when the notice is cut.
size_t HeadEnd(const std::string& text) {
    for (size_t i = 0; i < text.size(); ++i)
        if ((text[i] == '/' || text[i] == '~') && (i == 0 || text[i - 1] == ' ')) return i;
    const size_t colon = text.find(": ");
    return colon == std::string::npos ? 0 : colon + 2;
}

int ColumnsOf(const std::vector<Character>& characters, size_t from, size_t to) {
    int columns = 0;
    for (size_t k = from; k < to; ++k)
        columns += characters[k].columns;
    return columns;
}

// `text` cut to kNoticeColumns: its head, "...", and as much of its end as fits.
std::string CutNotice(const std::string& text) {
    const std::vector<Character> characters = Characters(text);
    if (ColumnsOf(characters, 0, characters.size()) <= kNoticeColumns) return text;
    const size_t headBytes = HeadEnd(text);
    size_t head = 0;
    while (head < characters.size() && characters[head].end <= headBytes)
        ++head;
    int headColumns = ColumnsOf(characters, 0, head);
    if (headColumns > kNoticeColumns / 2) head = 0, headColumns = 0;
    int room = kNoticeColumns - headColumns - 3;
    size_t tail = characters.size();
    while (tail > head && characters[tail - 1].columns <= room)
        room -= characters[--tail].columns;
    const size_t headEnd = head == 0 ? 0 : characters[head - 1].end;
    const size_t tailBegin = tail == characters.size() ? text.size() : characters[tail].begin;
    return text.substr(0, headEnd) + "..." + text.substr(tailBegin);
}

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
    notice = CutNotice(text);
    noticeTicksLeft = kNoticeTicks;
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
    ID3DXFont* font = noticeFont != nullptr ? noticeFont : textFont;
    if (font == nullptr) return;
    RECT rect = {kNoticeLeft, kNoticeTop, backBufferWidth, backBufferHeight};
    font->DrawTextA(notice.c_str(), -1, &rect, DT_NOPREFIX, textColor);
}
