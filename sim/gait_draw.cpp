// Drawing the gait lab: the foot trails in the scene and the gait panel in the bottom-right
// corner, which the help lines and the camera line leave free.
#include <cstdio>

#include "gfx/device/d3d_device.h"
#include "gfx/immediate.h"
#include "sim/contacts.h"
#include "sim/gait_lab.h"
#include "sim/physics_step.h"
#include "sim/scene.h"

#include <platform/i18n/i18n.h>

namespace {

// One colour per leg, by index 2·j + e: none of them cyan like the machine, green or brown like
// the ground, white like the text or black like the sky.
const D3DCOLOR legColors[kLegCount] = {
    0xFFFF0000, 0xFFFF8000, 0xFFFFFF00, 0xFFFF00FF, 0xFF0040FF, 0xFF9000FF, 0xFF00FF00, 0xFFFF80C0,
};

struct ScreenVertex {
    float x, y, z, rhw;
    D3DCOLOR diffuse;
};
constexpr DWORD kScreenFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE;

constexpr int kPanelLeft = 380, kPanelTop = 290, kPanelWidth = 256, kPanelHeight = 186;
constexpr int kLineHeight = 16;
constexpr int kPlotLeft = kPanelLeft + 8, kPlotWidth = kPanelWidth - 16;
constexpr int kPlotTop = kPanelTop + 6 + 6 * kLineHeight + 4, kPlotHeight = 48;
constexpr D3DCOLOR kPanelBackground = 0xC0101820;
constexpr D3DCOLOR kPlotFrame = 0xFF808080;
constexpr D3DCOLOR kPlotLine = 0xFFFFE040;

char panelLine[128];

// The footfall panel, bottom left: one row per leg, one pixel column per step of the speed
// plot's ten seconds, newest at the right.
constexpr int kFootLeft = 4, kFootTop = 290, kFootWidth = 352, kFootHeight = 186;
// Rows close enough that the total under them ends inside the panel, above the picture's bottom
// edge: a line of text is 16 pixels high, and full screen scales the picture, cut and all.
constexpr int kFootRowTop = kFootTop + 22, kFootRowPitch = 18, kFootBarHeight = 12;
constexpr int kFootBarLeft = kFootLeft + 56, kFootBarRight = kFootBarLeft + kSpeedTicks;
const char kFootHeader[] = N_("Footfalls, last 10 s             duty  force");

// The oldest segments fade, so the direction of travel along each path shows.
void DrawFootTrail(int leg, int points) {
    LineVertex vertices[2 * (kTrailTicks - 1)];
    int count = 0;
    for (int age = 0; age + 1 < points; ++age) {
        for (int end = 0; end < 2; ++end) {
            D3DXVECTOR3 p = FootPoint(leg, age + end);
            DWORD alpha = 255 - 191 * static_cast<DWORD>(age + end) / kTrailTicks;
            vertices[count++] = {p.x, p.y, p.z, (legColors[leg] & 0x00FFFFFF) | alpha << 24};
        }
    }
    VertexBuffer vb;
    if (count > 0 && vb.Create(vertices, 0x042, count * sizeof(LineVertex))) vb.DrawLineList();
}

// Drawn over everything, the machine included: the stance half of each path lies on the ground.
void DrawFootTrails() {
    int points = RecordedTicks() < kTrailTicks ? RecordedTicks() : kTrailTicks;
    d3dDevice->SetTexture(0, nullptr);
    d3dDevice->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    d3dDevice->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    for (int leg = 0; leg < kLegCount; ++leg)
        DrawFootTrail(leg, points);
    d3dDevice->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    d3dDevice->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
}

void DrawScreenLines(const ScreenVertex* vertices, int count) {
    VertexBuffer vb;
    if (vb.Create(vertices, kScreenFvf, count * sizeof(ScreenVertex))) vb.DrawLineList();
}

void DrawPanelBackground(int left, int top, int width, int height) {
    const float l = left, t = top, r = left + width, b = top + height;
    const ScreenVertex corners[4] = {
        {l, t, 0, 1, kPanelBackground},
        {r, t, 0, 1, kPanelBackground},
        {r, b, 0, 1, kPanelBackground},
        {l, b, 0, 1, kPanelBackground},
    };
    VertexBuffer vb;
    if (vb.Create(corners, kScreenFvf, sizeof corners)) vb.DrawFan(2);
}

// The speed of the last ten seconds, oldest at the left, scaled to the fastest moment shown
// (at least 0.5 units per second, so standing still stays a flat line at the bottom).
float DrawSpeedPlot() {
    int samples = RecordedTicks() < kSpeedTicks ? RecordedTicks() : kSpeedTicks;
    float top = 0.5f;
    for (int age = 0; age < samples; ++age)
        if (WalkingSpeed(age) > top) top = WalkingSpeed(age);
    const float l = kPlotLeft, t = kPlotTop, r = kPlotLeft + kPlotWidth, b = kPlotTop + kPlotHeight;
    const ScreenVertex frame[8] = {
        {l, t, 0, 1, kPlotFrame}, {r, t, 0, 1, kPlotFrame}, {r, t, 0, 1, kPlotFrame},
        {r, b, 0, 1, kPlotFrame}, {r, b, 0, 1, kPlotFrame}, {l, b, 0, 1, kPlotFrame},
        {l, b, 0, 1, kPlotFrame}, {l, t, 0, 1, kPlotFrame},
    };
    DrawScreenLines(frame, 8);
    ScreenVertex line[2 * (kSpeedTicks - 1)];
    int count = 0;
    const float step = static_cast<float>(kPlotWidth) / (kSpeedTicks - 1);
    for (int age = 0; age + 1 < samples; ++age) {
        for (int end = 0; end < 2; ++end) {
            float x = r - step * (age + end);
            float y = b - (kPlotHeight - 1) * WalkingSpeed(age + end) / top;
            line[count++] = {x, y, 0, 1, kPlotLine};
        }
    }
    if (count > 0) DrawScreenLines(line, count);
    return top;
}

void PhaseText(int j, int e, char* out, size_t size) {
    double degrees = 0.0;
    if (CrankPhaseError(j, e, degrees))
        std::snprintf(out, size, "%+7.1f", degrees);
    else
        std::snprintf(out, size, "%s", _("   lead"));
}

void DrawPanelText(float top) {
    int x = kPanelLeft + 8, y = kPanelTop + 4;
    BeginText();
    DrawTextAt(x, y, _("Phase (deg)  End 0   End 1"));
    for (int j = 0; j < 4; ++j) {
        char end0[16], end1[16];
        PhaseText(j, 0, end0, sizeof end0);
        PhaseText(j, 1, end1, sizeof end1);
        std::snprintf(panelLine, sizeof panelLine, _("Leg %d      %s %s"), j, end0, end1);
        DrawTextAt(x, y + (j + 1) * kLineHeight, panelLine);
    }
    // Over the ground, so not the design's Linear Velocity line: the unit says which it is.
    std::snprintf(panelLine, sizeof panelLine, _("Ground speed, 10 s: %.2f m/s"),
                  static_cast<double>(RecordedTicks() > 0 ? WalkingSpeed(0) : 0.0f));
    DrawTextAt(x, y + 5 * kLineHeight, panelLine);
    std::snprintf(panelLine, sizeof panelLine, _("top %.2f"), static_cast<double>(top));
    DrawTextAt(kPlotLeft + kPlotWidth - 72, kPlotTop + 2, panelLine);
    std::snprintf(panelLine, sizeof panelLine, _("Crank %.2f rps  Friction %.0f"),
                  static_cast<double>(crankSpeed), static_cast<double>(frictionCoefficient));
    DrawTextAt(x, kPlotTop + kPlotHeight + 4, panelLine);
    EndText();
}

void DrawGaitPanel() {
    d3dDevice->SetTexture(0, nullptr);
    d3dDevice->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    d3dDevice->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    DrawPanelBackground(kPanelLeft, kPanelTop, kPanelWidth, kPanelHeight);
    float top = DrawSpeedPlot();
    d3dDevice->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    d3dDevice->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    DrawPanelText(top);
}

// A bar of one-pixel columns for every step the leg touched, over a grey base line per row:
// full height where the step gave the leg contacts of its own, half where it touched without.
void DrawFootfallBars() {
    static ScreenVertex lines[2 * kLegCount * (kSpeedTicks + 1)];
    const int samples = RecordedTicks() < kSpeedTicks ? RecordedTicks() : kSpeedTicks;
    int count = 0;
    for (int leg = 0; leg < kLegCount; ++leg) {
        const float bottom = kFootRowTop + leg * kFootRowPitch + kFootBarHeight;
        lines[count++] = {static_cast<float>(kFootBarLeft), bottom, 0, 1, kPlotFrame};
        lines[count++] = {static_cast<float>(kFootBarRight), bottom, 0, 1, kPlotFrame};
        for (int age = 0; age < samples; ++age) {
            if (!FootDown(leg, age)) continue;
            const float x = kFootBarRight - 0.5f - age;
            const float height = FootCarries(leg, age) ? kFootBarHeight : kFootBarHeight / 2;
            lines[count++] = {x, bottom - height, 0, 1, legColors[leg]};
            lines[count++] = {x, bottom, 0, 1, legColors[leg]};
        }
    }
    DrawScreenLines(lines, count);
}

void DrawFootfallText() {
    BeginText();
    DrawTextAt(kFootLeft + 6, kFootTop + 4, Translate(kFootHeader));
    double sum = 0.0;
    for (int leg = 0; leg < kLegCount; ++leg) {
        const int y = kFootRowTop + leg * kFootRowPitch - 2;
        std::snprintf(panelLine, sizeof panelLine, "L%d E%d", leg / 2, leg % 2);
        DrawTextAt(kFootLeft + 6, y, panelLine);
        double duty = 0.0, force = 0.0;
        if (!FootfallSummary(leg, duty, force)) continue;
        sum += force;
        std::snprintf(panelLine, sizeof panelLine, "%3.0f%% %6.0f", 100.0 * duty, force);
        DrawTextAt(kFootBarRight + 8, y, panelLine);
    }
    std::snprintf(panelLine, sizeof panelLine, _("Feet carry %.0f N of the weight %.0f N"), sum,
                  MachineWeight());
    DrawTextAt(kFootLeft + 6, kFootRowTop + kLegCount * kFootRowPitch, panelLine);
    EndText();
}

void DrawFootfallPanel() {
    d3dDevice->SetTexture(0, nullptr);
    d3dDevice->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    d3dDevice->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    DrawPanelBackground(kFootLeft, kFootTop, kFootWidth, kFootHeight);
    d3dDevice->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    DrawFootfallBars();
    d3dDevice->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    DrawFootfallText();
}

} // namespace

// Called after the ground quad: lighting and blending are off and the world transform is the
// identity there. What it changes it puts back, the ground texture included.
void DrawGaitLab() {
    if (!footTrailsOn && !gaitPanelOn && !footfallPanelOn) return;
    if (footTrailsOn) DrawFootTrails();
    if (gaitPanelOn) DrawGaitPanel();
    if (footfallPanelOn) DrawFootfallPanel();
    d3dDevice->SetTexture(0, groundTexture.texture);
}
