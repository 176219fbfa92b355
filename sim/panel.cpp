// The panel's contents and its input. Everything the panel changes goes out as an action, so
// the recording writes it and a replay applies it at the same tick.
#include "sim/panel.h"

#include <cstring>
#include <string>

#include <dinput.h>
#include <imgui.h>
#include <platform/i18n/i18n.h>
#include <platform/ui/ui_host.h>

#include "gfx/overlay.h"
#include "gfx/device/d3d_device.h"
#include "input/input.h"
#include "shell/main_window.h"
#include "sim/contacts.h"
#include "sim/controls.h"
#include "sim/gait_lab.h"
#include "sim/hand_pointer.h"
#include "sim/key_help.h"
#include "sim/panel_actions.h"
#include "sim/panel_machine.h"
#include "sim/panel_plots.h"
#include "sim/physics_step.h"
#include "sim/session_keys.h"
#include "sim/time_control.h"

bool panelOpen = false;

namespace {

// The face the program's text uses: its Japanese glyphs render the panel in that language too.
const char kFaceName[] = "ＭＳ ゴシック";
constexpr float kFontPixels = 13.0f;
constexpr float kPanelWidth = 300.0f;

BYTE rawKeys[256];
BYTE rawPrevKeys[256];
// Keys pressed while a field was typed into: they stay away from the machine until released, so
// the Enter that ends the typing does not reach it either.
bool swallowed[256];
std::string typed;

const char* const kRateNames[kRateCount] = {"1/16", "1/8", "1/4", "1/2", "1", "2", "4"};
const char* const kViewNames[3] = {"Back View", "Driver View", "Manual View"};

const char* const kPanelTexts[] = {N_("Panel (F6)"),
                                   N_("Simulation"),
                                   N_("Crank speed (rps)"),
                                   N_("Friction"),
                                   N_("Time rate"),
                                   N_("Paused"),
                                   N_("One step"),
                                   N_("Reset"),
                                   N_("Shown"),
                                   N_("Foot trails"),
                                   N_("Gait panel"),
                                   N_("Contacts"),
                                   N_("Footfall diagram"),
                                   N_("Key list"),
                                   N_("View"),
                                   N_("Screenshot"),
                                   N_("Video"),
                                   N_("Plots"),
                                   N_("the panel cannot start: %s"),
                                   N_("Ctrl + left drag on the machine pulls it"),
                                   N_("Pictures")};

// Keys that type into a field, DIK code to character, and with Shift held: digits and signs for
// the numbers, letters and path signs for the machine file's name.
struct TypedKey {
    int key;
    char character, shifted;
};
const TypedKey kTypedKeys[] = {
    {DIK_0, '0', '0'},       {DIK_1, '1', '1'},       {DIK_2, '2', '2'},
    {DIK_3, '3', '3'},       {DIK_4, '4', '4'},       {DIK_5, '5', '5'},
    {DIK_6, '6', '6'},       {DIK_7, '7', '7'},       {DIK_8, '8', '8'},
    {DIK_9, '9', '9'},       {DIK_NUMPAD0, '0', '0'}, {DIK_NUMPAD1, '1', '1'},
    {DIK_NUMPAD2, '2', '2'}, {DIK_NUMPAD3, '3', '3'}, {DIK_NUMPAD4, '4', '4'},
    {DIK_NUMPAD5, '5', '5'}, {DIK_NUMPAD6, '6', '6'}, {DIK_NUMPAD7, '7', '7'},
    {DIK_NUMPAD8, '8', '8'}, {DIK_NUMPAD9, '9', '9'}, {DIK_PERIOD, '.', '.'},
    {DIK_DECIMAL, '.', '.'}, {DIK_MINUS, '-', '_'},   {DIK_SUBTRACT, '-', '-'},
    {DIK_ADD, '+', '+'},     {DIK_GRAVE, '`', '~'},   {DIK_SLASH, '/', '/'},
    {DIK_DIVIDE, '/', '/'},  {DIK_A, 'a', 'A'},       {DIK_B, 'b', 'B'},
    {DIK_C, 'c', 'C'},       {DIK_D, 'd', 'D'},       {DIK_E, 'e', 'E'},
    {DIK_F, 'f', 'F'},       {DIK_G, 'g', 'G'},       {DIK_H, 'h', 'H'},
    {DIK_I, 'i', 'I'},       {DIK_J, 'j', 'J'},       {DIK_K, 'k', 'K'},
    {DIK_L, 'l', 'L'},       {DIK_M, 'm', 'M'},       {DIK_N, 'n', 'N'},
    {DIK_O, 'o', 'O'},       {DIK_P, 'p', 'P'},       {DIK_Q, 'q', 'Q'},
    {DIK_R, 'r', 'R'},       {DIK_S, 's', 'S'},       {DIK_T, 't', 'T'},
    {DIK_U, 'u', 'U'},       {DIK_V, 'v', 'V'},       {DIK_W, 'w', 'W'},
    {DIK_X, 'x', 'X'},       {DIK_Y, 'y', 'Y'},       {DIK_Z, 'z', 'Z'}};

bool Down(const BYTE* keys, int key) {
    return (keys[key] & 0x80) != 0;
}

void Queue(PanelVerb verb, int which, double value = 0.0) {
    PanelAction action;
    action.verb = verb;
    action.which = which;
    action.value = value;
    QueuePanelAction(action);
}

bool StartPanel() {
    if (platform::ui::UiStarted()) return true;
    std::string glyphs;
    for (const char* text : kPanelTexts)
        glyphs += Translate(text);
    AddPlotTexts(glyphs);
    AddMachineTexts(glyphs);
    std::string error;
    if (platform::ui::StartUi(kFaceName, kFontPixels, glyphs, error)) return true;
    ShowNotice(FormatText(_("the panel cannot start: %s"), error.c_str()));
    return false;
}

// A slider with a field beside it: dragging sets the value tick by tick, a typed value takes
// effect on Enter.
void NumberSetting(const char* label, int which, float current, float low, float high,
                   float typedLow, float typedHigh) {
    ImGui::TextUnformatted(label);
    float slid = current, entered = current;
    ImGui::PushID(which);
    ImGui::SetNextItemWidth(kPanelWidth * 0.5f);
    if (ImGui::SliderFloat("##slider", &slid, low, high, "%.3f") && slid != current)
        Queue(PanelVerb::Set, which, slid);
    ImGui::SameLine();
    ImGui::SetNextItemWidth(-1.0f);
    if (ImGui::InputFloat("##typed", &entered, 0.0f, 0.0f, "%.6f",
                          ImGuiInputTextFlags_EnterReturnsTrue) &&
        entered != current) {
        if (entered < typedLow) entered = typedLow;
        if (entered > typedHigh) entered = typedHigh;
        Queue(PanelVerb::Set, which, entered);
    }
    ImGui::PopID();
}

void SimulationSection() {
    if (!ImGui::CollapsingHeader(_("Simulation"), ImGuiTreeNodeFlags_DefaultOpen)) return;
    NumberSetting(_("Crank speed (rps)"), kSetCrankSpeed, crankSpeed, -5.0f, 10.0f, -100.0f,
                  100.0f);
    NumberSetting(_("Friction"), kSetFriction, frictionCoefficient, 5.0f, 1000.0f, 0.0f, 1.0e6f);
    int rate = rateIndex;
    ImGui::SetNextItemWidth(80.0f);
    if (ImGui::Combo(_("Time rate"), &rate, kRateNames, kRateCount))
        Queue(PanelVerb::Set, kSetRate, rate);
    bool pause = paused;
    if (ImGui::Checkbox(_("Paused"), &pause)) Queue(PanelVerb::Set, kSetPaused, pause);
    ImGui::SameLine();
    if (ImGui::Button(_("One step"))) Queue(PanelVerb::Do, kDoStep);
    ImGui::SameLine();
    if (ImGui::Button(_("Reset"))) Queue(PanelVerb::Do, kDoReset);
}

void Toggle(const char* label, int which, bool current) {
    bool on = current;
    if (ImGui::Checkbox(label, &on)) Queue(PanelVerb::Set, which, on);
}

void ShownSection() {
    if (!ImGui::CollapsingHeader(_("Shown"), ImGuiTreeNodeFlags_DefaultOpen)) return;
    Toggle(_("Foot trails"), kSetTrails, footTrailsOn);
    ImGui::SameLine(kPanelWidth * 0.5f);
    Toggle(_("Gait panel"), kSetGaitPanel, gaitPanelOn);
    Toggle(_("Contacts"), kSetContacts, contactsOn);
    ImGui::SameLine(kPanelWidth * 0.5f);
    Toggle(_("Footfall diagram"), kSetFootfall, footfallPanelOn);
    Toggle(_("Key list"), kSetKeyList, keyHelpOn);
    int view = viewMode;
    ImGui::SetNextItemWidth(120.0f);
    if (ImGui::Combo(_("View"), &view, kViewNames, 3)) Queue(PanelVerb::Set, kSetView, view);
}

void PicturesSection() {
    if (!ImGui::CollapsingHeader(_("Pictures"), ImGuiTreeNodeFlags_DefaultOpen)) return;
    if (ImGui::Button(_("Screenshot"))) Queue(PanelVerb::Do, kDoScreenshot);
    ImGui::SameLine();
    if (ImGui::Button(_("Video"))) Queue(PanelVerb::Do, kDoVideo);
    ImGui::TextDisabled("%s", _("Ctrl + left drag on the machine pulls it"));
}

void Tabs() {
    if (!ImGui::BeginTabBar("##tabs")) return;
    if (ImGui::BeginTabItem(_("Settings"))) {
        SimulationSection();
        ShownSection();
        PicturesSection();
        ImGui::EndTabItem();
    }
    if (ImGui::BeginTabItem(_("Machine"))) {
        MachineSection(ImGui::GetContentRegionAvail().x);
        ImGui::EndTabItem();
    }
    ImGui::EndTabBar();
}

void FillWindowBehind() {
    const ImVec4 colour = ImGui::GetStyleColorVec4(ImGuiCol_WindowBg);
    const float rgb[3] = {colour.x, colour.y, colour.z};
    platform::ui::FillWindowBehind(rgb);
}

void BuildPanel() {
    const ImGuiIO& io = ImGui::GetIO();
    ImGui::SetNextWindowPos(ImVec2(io.DisplaySize.x - kPanelWidth - 4.0f, 4.0f),
                            ImGuiCond_FirstUseEver);
    // Only as tall as its contents: with a software renderer every pixel of the panel costs.
    ImGui::SetNextWindowSizeConstraints(ImVec2(kPanelWidth, 0.0f),
                                        ImVec2(kPanelWidth, io.DisplaySize.y - 8.0f));
    // Its background is a fill under everything the window draws, opaque: with a software
    // renderer a cleared rectangle costs a fraction of a blended one.
    if (ImGui::Begin(_("Panel (F6)"), nullptr,
                     ImGuiWindowFlags_NoCollapse | ImGuiWindowFlags_AlwaysAutoResize |
                         ImGuiWindowFlags_NoBackground)) {
        FillWindowBehind();
        Tabs();
    }
    ImGui::End();
    // The plots have a window of their own, under the help lines, where the scene is ground.
    // Only the plots themselves are filled: with a software renderer a window's background
    // behind them costs more than the lines, and the titles read over the ground as the help
    // lines do. No title bar either: the plots' own titles name them, a drag anywhere on the
    // window moves it, and the help lines above stay clear of it.
    ImGui::SetNextWindowPos(ImVec2(4.0f, 214.0f), ImGuiCond_FirstUseEver);
    const float plotsWidth = io.DisplaySize.x - kPanelWidth - 12.0f;
    ImGui::SetNextWindowSizeConstraints(ImVec2(plotsWidth, 0.0f),
                                        ImVec2(plotsWidth, io.DisplaySize.y));
    if (ImGui::Begin(_("Plots"), nullptr,
                     ImGuiWindowFlags_NoCollapse | ImGuiWindowFlags_AlwaysAutoResize |
                         ImGuiWindowFlags_NoBackground | ImGuiWindowFlags_NoTitleBar))
        DrawPanelPlots();
    ImGui::End();
}

platform::ui::UiInput TickInput() {
    platform::ui::UiInput input;
    input.width = backBufferWidth;
    input.height = backBufferHeight;
    PointerInPicture(input.mouseX, input.mouseY);
    for (int b = 0; b < 3; ++b)
        input.mouseDown[b] = (mouseButtons[b] & 0x80) != 0;
    input.ctrl = Down(rawKeys, DIK_LCONTROL) || Down(rawKeys, DIK_RCONTROL);
    input.shift = Down(rawKeys, DIK_LSHIFT) || Down(rawKeys, DIK_RSHIFT);
    input.keys = rawKeys;
    input.typed = typed;
    return input;
}

} // namespace

void ReadPanelInput() {
    std::memcpy(rawPrevKeys, rawKeys, sizeof rawKeys);
    std::memcpy(rawKeys, keyState, sizeof rawKeys);
    typed.clear();
    const bool typing = panelOpen && platform::ui::UiWantsText();
    for (int key = 0; key < 256; ++key) {
        swallowed[key] = Down(rawKeys, key) && (typing || swallowed[key]);
        if (swallowed[key]) keyState[key] = 0;
    }
    if (!typing) return;
    const bool shift = Down(rawKeys, DIK_LSHIFT) || Down(rawKeys, DIK_RSHIFT);
    for (const TypedKey& k : kTypedKeys)
        if (Down(rawKeys, k.key) && !Down(rawPrevKeys, k.key))
            typed += shift ? k.shifted : k.character;
}

bool SetPanelOpen(bool open) {
    if (open == panelOpen) return true;
    panelOpen = open && StartPanel();
    if (panelOpen) ClearPanelPlots();
    return panelOpen == open;
}

void UpdatePanelKey() {
    if (GetKey(DIK_F6) == 2) SetPanelOpen(!panelOpen);
}

void DrawPanel() {
    if (!panelOpen) return;
    SamplePanelPlots();
    platform::ui::BeginUi(TickInput());
    BuildPanel();
    platform::ui::EndUi();
}
