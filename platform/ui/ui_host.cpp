// The panel's host on Dear ImGui and its OpenGL 2 renderer.
#include "platform/ui/ui_host.h"

#include <dinput.h>
#include <epoxy/gl.h>

#include "imgui.h"
#include "platform/ui/imgui_impl_opengl2.h"
#include "platform/ui/window_cache.h"

#include <platform/font/font_face.h>

namespace platform::ui {

namespace {

bool started = false;

// Opaque rectangles under a window's drawing, each a scissored clear just before the window's
// own draw list, so windows under it stay under it.
struct Fill {
    const ImDrawList* owner;
    Placement at;
    bool wholeWindow;
};
Fill fills[kMaxFills];
int fillCount = 0;

// The pixels of windows filled whole, by their draw list, which ImGui keeps for the window's life.
struct Kept {
    const ImDrawList* owner = nullptr;
    WindowCache cache;
};
constexpr int kMaxKept = 2;
Kept kept[kMaxKept];
int nextKept = 0;
int reused = 0;

WindowCache& CacheOf(const ImDrawList* list) {
    for (Kept& k : kept)
        if (k.owner == list) return k.cache;
    Kept& k = kept[nextKept];
    nextKept = (nextKept + 1) % kMaxKept;
    k.owner = list;
    k.cache.Forget();
    return k.cache;
}

void DrawFill(const Placement& at) {
    glEnable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glScissor(at.left, at.bufferHeight - at.top - at.height, at.width, at.height);
    const ImVec4 rgb = ImGui::ColorConvertU32ToFloat4(at.colour);
    glClearColor(rgb.x, rgb.y, rgb.z, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
}

void DrawList(const ImDrawData& frame, ImDrawList* list) {
    ImDrawData one = frame;
    one.CmdLists = &list;
    one.CmdListsCount = 1;
    one.TotalVtxCount = list->VtxBuffer.Size;
    one.TotalIdxCount = list->IdxBuffer.Size;
    ImGui_ImplOpenGL2_RenderDrawData(&one);
}

// The one fill of a window filled whole and nothing else, which is all its pixels depend on
// besides its draw list; null for any other window.
const Fill* WholeFillOf(const ImDrawList* list) {
    const Fill* whole = nullptr;
    for (int i = 0; i < fillCount; ++i) {
        if (fills[i].owner != list) continue;
        if (!fills[i].wholeWindow || whole != nullptr) return nullptr;
        whole = &fills[i];
    }
    return whole;
}

// Draws the frame's windows bottom to top. A window filled whole that draws what it drew when
// it was kept is copied from its kept pixels instead.
void DrawWindows(const ImDrawData& frame) {
    reused = 0;
    for (int n = 0; n < frame.CmdListsCount; ++n) {
        ImDrawList* list = frame.CmdLists[n];
        const Fill* whole = WholeFillOf(list);
        WindowCache* cache = whole != nullptr ? &CacheOf(list) : nullptr;
        if (cache != nullptr && cache->Show(*list, whole->at)) {
            ++reused;
            continue;
        }
        for (int i = 0; i < fillCount; ++i)
            if (fills[i].owner == list) DrawFill(fills[i].at);
        DrawList(frame, list);
        if (cache != nullptr) cache->Keep(*list, whole->at);
    }
    fillCount = 0;
}

void AddFill(float x, float y, float width, float height, const float rgb[3], bool wholeWindow) {
    const int left = int(x), top = int(y);
    const int w = int(x + width) - left, h = int(y + height) - top;
    if (fillCount == kMaxFills || w <= 0 || h <= 0) return;
    const ImVec2 buffer = ImGui::GetIO().DisplaySize;
    const Placement at{left,
                       top,
                       w,
                       h,
                       int(buffer.x),
                       int(buffer.y),
                       ImGui::ColorConvertFloat4ToU32(ImVec4(rgb[0], rgb[1], rgb[2], 1.0f))};
    fills[fillCount++] = Fill{ImGui::GetWindowDrawList(), at, wholeWindow};
}

void MapKeys(ImGuiIO& io) {
    io.KeyMap[ImGuiKey_Tab] = DIK_TAB;
    io.KeyMap[ImGuiKey_LeftArrow] = DIK_LEFT;
    io.KeyMap[ImGuiKey_RightArrow] = DIK_RIGHT;
    io.KeyMap[ImGuiKey_UpArrow] = DIK_UP;
    io.KeyMap[ImGuiKey_DownArrow] = DIK_DOWN;
    io.KeyMap[ImGuiKey_Home] = DIK_HOME;
    io.KeyMap[ImGuiKey_End] = DIK_END;
    io.KeyMap[ImGuiKey_Delete] = DIK_DELETE;
    io.KeyMap[ImGuiKey_Backspace] = DIK_BACK;
    io.KeyMap[ImGuiKey_Enter] = DIK_RETURN;
    io.KeyMap[ImGuiKey_KeyPadEnter] = DIK_NUMPADENTER;
    io.KeyMap[ImGuiKey_Escape] = DIK_ESCAPE;
    io.KeyMap[ImGuiKey_A] = DIK_A; // with Ctrl: select the field's text
    io.KeyMap[ImGuiKey_Z] = DIK_Z; // with Ctrl: undo
}

bool LoadFont(ImGuiIO& io, const char* faceName, float pixelHeight, const std::string& glyphText,
              std::string& error) {
    font::FontMatch match;
    if (!font::MatchFontFile(faceName, false, match, error)) return false;
    // Only the characters the panel shows: the whole Japanese range would make a texture of
    // several megabytes for a few dozen kanji.
    ImFontGlyphRangesBuilder builder;
    builder.AddRanges(io.Fonts->GetGlyphRangesDefault());
    builder.AddText(glyphText.c_str());
    static ImVector<ImWchar> ranges;
    ranges.clear();
    builder.BuildRanges(&ranges);
    ImFontConfig config;
    config.FontNo = match.index;
    if (!io.Fonts->AddFontFromFileTTF(match.file.c_str(), pixelHeight, &config, ranges.Data)) {
        error = "cannot load the font " + match.file;
        return false;
    }
    return true;
}

// The panel places every glyph on whole pixels, so the atlas's texels land one to one: nearest
// sampling gives the same picture as the renderer's linear filter, for much less work in a
// software rasteriser.
void SampleFontTexelsAsTheyAre() {
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    glBindTexture(GL_TEXTURE_2D, GLuint(intptr_t(ImGui::GetIO().Fonts->TexID)));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glBindTexture(GL_TEXTURE_2D, GLuint(bound));
}

} // namespace

bool StartUi(const char* faceName, float pixelHeight, const std::string& glyphText,
             std::string& error) {
    if (started) return true;
    IMGUI_CHECKVERSION();
    ImGui::CreateContext();
    ImGuiIO& io = ImGui::GetIO();
    // The panel starts in the same place every run: no layout file is read or written.
    io.IniFilename = nullptr;
    io.LogFilename = nullptr;
    MapKeys(io);
    if (!LoadFont(io, faceName, pixelHeight, glyphText, error) || !ImGui_ImplOpenGL2_Init()) {
        if (error.empty()) error = "the panel's renderer could not start";
        ImGui::DestroyContext();
        return false;
    }
    ImGui::StyleColorsDark();
    started = true;
    return true;
}

bool UiStarted() {
    return started;
}

void BeginUi(const UiInput& input) {
    ImGuiIO& io = ImGui::GetIO();
    io.DisplaySize = ImVec2(float(input.width), float(input.height));
    io.DeltaTime = input.seconds > 0.0f ? input.seconds : 0.05f;
    io.MousePos = ImVec2(input.mouseX, input.mouseY);
    for (int b = 0; b < 3; ++b)
        io.MouseDown[b] = input.mouseDown[b];
    io.KeyCtrl = input.ctrl;
    io.KeyShift = input.shift;
    for (int k = 0; k < 256; ++k)
        io.KeysDown[k] = input.keys != nullptr && (input.keys[k] & 0x80) != 0;
    io.AddInputCharactersUTF8(input.typed.c_str());
    const bool fontsReady = ImGui::GetIO().Fonts->TexID != nullptr;
    ImGui_ImplOpenGL2_NewFrame();
    if (!fontsReady) SampleFontTexelsAsTheyAre();
    ImGui::NewFrame();
}

void FillBehind(float x, float y, float width, float height, const float rgb[3]) {
    AddFill(x, y, width, height, rgb, false);
}

void FillWindowBehind(const float rgb[3]) {
    const ImVec2 at = ImGui::GetWindowPos(), size = ImGui::GetWindowSize();
    AddFill(at.x, at.y, size.x, size.y, rgb, true);
}

void EndUi() {
    ImGui::Render();
    // The stand-in draws from buffer objects and may leave them bound; the renderer draws from
    // client memory, which a bound buffer would turn into offsets.
    GLint arrayBuffer = 0, elementBuffer = 0, activeTexture = 0, clientTexture = 0;
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &arrayBuffer);
    glGetIntegerv(GL_ELEMENT_ARRAY_BUFFER_BINDING, &elementBuffer);
    glGetIntegerv(GL_ACTIVE_TEXTURE, &activeTexture);
    glGetIntegerv(GL_CLIENT_ACTIVE_TEXTURE, &clientTexture);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    glActiveTexture(GL_TEXTURE0);
    glClientActiveTexture(GL_TEXTURE0);
    glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    DrawWindows(*ImGui::GetDrawData());
    glPopAttrib();
    glPopClientAttrib();
    glActiveTexture(GLenum(activeTexture));
    glClientActiveTexture(GLenum(clientTexture));
    glBindBuffer(GL_ARRAY_BUFFER, GLuint(arrayBuffer));
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, GLuint(elementBuffer));
}

int UiWindowsReused() {
    return reused;
}

bool UiWantsMouse() {
    return started && ImGui::GetIO().WantCaptureMouse;
}

bool UiWantsText() {
    return started && ImGui::GetIO().WantTextInput;
}

void StopUi() {
    if (!started) return;
    for (Kept& k : kept) {
        k.cache.Release();
        k.owner = nullptr;
    }
    fillCount = 0;
    ImGui_ImplOpenGL2_Shutdown();
    ImGui::DestroyContext();
    started = false;
}

} // namespace platform::ui
