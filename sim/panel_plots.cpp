// The panel's plots, drawn with axes, units and a time window by ImGui's draw lists.
#include "sim/panel_plots.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include <imgui.h>
#include <platform/i18n/i18n.h>
#include <platform/ui/ui_host.h>

#include "sim/contacts.h"
#include "sim/plot_line.h"
#include "sim/gait_lab.h"
#include "sim/world.h"

namespace {

constexpr int kWindowTicks = 200; // ten seconds at 20 ticks a second
constexpr float kWindowSeconds = 10.0f;
constexpr int kPhaseLines = 6; // the cranks that follow another; the two masters follow none
constexpr int kSeriesCount = 3 + kPhaseLines;
enum { kSpeed, kHeading, kForce, kPhase0 };

const char* const kTitles[] = {N_("Speed over the ground (m/s)"), N_("Heading (degrees)"),
                               N_("Phase error of each leg (degrees)"),
                               N_("Feet's vertical force and the weight (N)")};

float history[kSeriesCount][kWindowTicks];
int newest = -1; // slot of the last sample
int samples = 0;

const ImU32 kLineColours[kPhaseLines] = {IM_COL32(255, 96, 96, 255),  IM_COL32(96, 255, 96, 255),
                                         IM_COL32(96, 160, 255, 255), IM_COL32(255, 224, 64, 255),
                                         IM_COL32(255, 96, 255, 255), IM_COL32(64, 224, 224, 255)};

float Sample(int series, int age) {
    return history[series][(newest - age + kWindowTicks) % kWindowTicks];
}

float Heading() {
    const dReal* r = dBodyGetRotation(chassisBody);
    return static_cast<float>(std::atan2(r[2], r[10]) * 180.0 / M_PI);
}

float FeetForce() {
    double sum = 0.0;
    for (int leg = 0; leg < kLegCount; ++leg)
        sum += LegVerticalForce(leg);
    return static_cast<float>(sum);
}

struct PlotFrame {
    ImVec2 origin, size;
    float low, high;
};

float ToY(const PlotFrame& f, float value) {
    float share = (value - f.low) / (f.high - f.low);
    share = std::clamp(share, 0.0f, 1.0f);
    return f.origin.y + f.size.y * (1.0f - share);
}

// A level or upright line one pixel wide. Unsmoothed it covers exactly that pixel, where a
// smoothed one blends three: a software rasteriser pays for every one.
void StraightLine(ImVec2 from, ImVec2 to, ImU32 colour) {
    ImDrawList* draw = ImGui::GetWindowDrawList();
    const ImDrawListFlags smooth = draw->Flags;
    draw->Flags &= ~ImDrawListFlags_AntiAliasedLines;
    draw->AddLine(from, to, colour);
    draw->Flags = smooth;
}

// The axes: value labels at both ends of the scale, the time from -10 s to now below.
PlotFrame DrawAxes(const char* title, float low, float high) {
    ImGui::TextUnformatted(title);
    const float labelWidth = ImGui::CalcTextSize("-0000").x;
    const float height = 20.0f;
    const ImVec2 at = ImGui::GetCursorScreenPos();
    PlotFrame f{ImVec2(at.x + labelWidth + 4.0f, at.y + 4.0f),
                ImVec2(ImGui::GetContentRegionAvail().x - labelWidth - 8.0f, height), low, high};
    ImDrawList* draw = ImGui::GetWindowDrawList();
    const ImU32 axis = IM_COL32(200, 200, 200, 255), text = IM_COL32(220, 220, 220, 255);
    const ImVec2 end(f.origin.x + f.size.x, f.origin.y + f.size.y);
    // A clear under the window's drawing: blended, the four plots' backgrounds cost more than
    // their lines.
    const float background[3] = {20.0f / 255.0f, 20.0f / 255.0f, 30.0f / 255.0f};
    platform::ui::FillBehind(f.origin.x, f.origin.y, f.size.x, f.size.y, background);
    StraightLine(f.origin, ImVec2(f.origin.x, end.y), axis);
    StraightLine(ImVec2(f.origin.x, end.y), end, axis);
    char label[32];
    std::snprintf(label, sizeof label, "%.0f", static_cast<double>(high));
    draw->AddText(ImVec2(at.x, f.origin.y - 6.0f), text, label);
    std::snprintf(label, sizeof label, "%.0f", static_cast<double>(low));
    draw->AddText(ImVec2(at.x, end.y - 8.0f), text, label);
    if (low < 0.0f && high > 0.0f)
        StraightLine(ImVec2(f.origin.x, ToY(f, 0.0f)), ImVec2(end.x, ToY(f, 0.0f)),
                     IM_COL32(90, 90, 90, 255));
    std::snprintf(label, sizeof label, "-%.0f s", static_cast<double>(kWindowSeconds));
    draw->AddText(ImVec2(f.origin.x, end.y + 1.0f), text, label);
    draw->AddText(ImVec2(end.x - ImGui::CalcTextSize("0 s").x, end.y + 1.0f), text, "0 s");
    ImGui::Dummy(ImVec2(0.0f, height + 8.0f + ImGui::GetTextLineHeight()));
    return f;
}

// One polyline a series: a line a sample would cost a draw-list entry each.
void DrawSeries(const PlotFrame& f, int series, ImU32 colour) {
    if (samples < 2) return;
    static ImVec2 points[kWindowTicks];
    const float dx = f.size.x / static_cast<float>(kWindowTicks - 1);
    const float right = f.origin.x + f.size.x;
    for (int age = 0; age < samples; ++age)
        points[age] = ImVec2(right - dx * static_cast<float>(age), ToY(f, Sample(series, age)));
    const int kept = KeepVisiblePoints(points, samples);
    ImGui::GetWindowDrawList()->AddPolyline(points, kept, colour, ImDrawFlags_None, 1.0f);
}

// A scale that holds every sample shown and `floor` either way, in round steps of `step`.
void Scale(int series, float floor, float step, bool symmetric, float& low, float& high) {
    float top = floor, bottom = symmetric ? -floor : 0.0f;
    for (int age = 0; age < samples; ++age) {
        top = std::max(top, Sample(series, age));
        bottom = std::min(bottom, Sample(series, age));
    }
    high = std::ceil(top / step) * step;
    low = std::floor(bottom / step) * step;
}

} // namespace

void SamplePanelPlots() {
    newest = (newest + 1) % kWindowTicks;
    samples = std::min(samples + 1, kWindowTicks);
    history[kSpeed][newest] = RecordedTicks() > 0 ? WalkingSpeed(0) : 0.0f;
    history[kHeading][newest] = Heading();
    history[kForce][newest] = FeetForce();
    int line = 0;
    for (int e = 0; e < 2; ++e)
        for (int j = 0; j < 4; ++j) {
            double degrees = 0.0;
            if (CrankPhaseError(j, e, degrees) && line < kPhaseLines)
                history[kPhase0 + line++][newest] = static_cast<float>(degrees);
        }
}

void AddPlotTexts(std::string& text) {
    for (const char* title : kTitles)
        text += Translate(title);
}

void ClearPanelPlots() {
    newest = -1;
    samples = 0;
}

void DrawPanelPlots() {
    ImGui::PushStyleVar(ImGuiStyleVar_ItemSpacing, ImVec2(4.0f, 1.0f));
    float low = 0.0f, high = 0.0f;
    Scale(kSpeed, 1.0f, 1.0f, false, low, high);
    DrawSeries(DrawAxes(Translate(kTitles[0]), low, high), kSpeed, IM_COL32(255, 255, 255, 255));
    DrawSeries(DrawAxes(Translate(kTitles[1]), -180.0f, 180.0f), kHeading,
               IM_COL32(255, 224, 64, 255));
    const PlotFrame phase = DrawAxes(Translate(kTitles[2]), -180.0f, 180.0f);
    for (int line = 0; line < kPhaseLines; ++line)
        DrawSeries(phase, kPhase0 + line, kLineColours[line]);
    const float weight = static_cast<float>(MachineWeight());
    Scale(kForce, weight * 1.25f, 500.0f, false, low, high);
    const PlotFrame force = DrawAxes(Translate(kTitles[3]), low, high);
    StraightLine(ImVec2(force.origin.x, ToY(force, weight)),
                 ImVec2(force.origin.x + force.size.x, ToY(force, weight)),
                 IM_COL32(255, 64, 64, 255));
    DrawSeries(force, kForce, IM_COL32(96, 255, 96, 255));
    ImGui::PopStyleVar();
}
