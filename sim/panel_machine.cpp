// The machine tab. The fields edit a copy of the machine in force; "Rebuild" sends the keys that
// differ as one action, so the recording writes them and a replay rebuilds the same machine at
// the same tick. A machine the checks refuse is never sent: the reason stays in the tab.
#include "sim/panel_machine.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include <imgui.h>
#include <platform/i18n/i18n.h>

#include "gfx/overlay.h"
#include "machine/machine_keys.h"
#include "machine/machine_values.h"
#include "sim/machine_save.h"
#include "sim/panel_actions.h"

namespace {

Machine edited;
Machine editedFrom; // the machine in force the fields were taken from
std::string refusal;
char savePath[1024] = "";
std::string askedToReplace; // the existing file a second press of "Save as" replaces

const char* const kMachineTexts[] = {
    N_("Machine"),
    N_("Settings"),
    N_("Rebuild"),
    N_("Revert"),
    N_("Save as"),
    N_("File"),
    N_("%s to %s %s"),
    N_("Machine saved: %s"),
    N_("type the file to save the machine in"),
    N_("%s exists: press Save as again to replace it"),
    N_("cannot write %s: %s"),
    // The checks' reasons, shown in the tab.
    N_("the four-bar loop cannot close with the crank straight up"),
    N_("the crank (%g) is not the shortest link (crank %g, base %g, rocker %g, coupler %g), so "
       "it cannot turn a full circle"),
    N_("the crank cannot turn a full circle: shortest + longest = %g + %g = %g is not less than "
       "the other two, %g (crank %g, base %g, rocker %g, coupler %g)"),
    N_("%s %s would overwrite %s %s (the same file)"),
    N_("the machine file"),
    N_("the data file"),
};

void FollowMachineInForce() {
    if (SameMachine(editedFrom, MachineInForce())) return;
    edited = editedFrom = MachineInForce();
    refusal.clear();
}

std::string PathOf(const MachineKey& key, int index) {
    std::string path = std::string(key.table) + "." + key.name;
    return key.count == 1 ? path : path + "." + std::to_string(index);
}

// The keys whose field differs from the machine in force, in the file's order.
std::vector<MachineEdit> Edits() {
    std::vector<MachineEdit> edits;
    Machine inForce = MachineInForce();
    for (int k = 0; k < kMachineKeyCount; ++k) {
        const MachineKey& key = kMachineKeys[k];
        for (int i = 0; i < key.count; ++i)
            if (key.at(edited, i) != key.at(inForce, i))
                edits.push_back({PathOf(key, i), key.at(edited, i)});
    }
    return edits;
}

// A value is held to its key's range as it is typed, so no field can hold what no file may.
void KeyRow(const MachineKey& key, float width) {
    ImGui::PushID(&key);
    Machine inForce = MachineInForce();
    bool changed = false;
    for (int i = 0; i < key.count; ++i)
        changed = changed || key.at(edited, i) != key.at(inForce, i);
    if (changed) ImGui::PushStyleColor(ImGuiCol_Text, IM_COL32(255, 220, 80, 255));
    ImGui::Text("%s (%s)", key.name, key.unit);
    if (changed) ImGui::PopStyleColor();
    const float fieldsWidth = width * 0.5f;
    for (int i = 0; i < key.count; ++i) {
        ImGui::SameLine(i == 0 ? width - fieldsWidth : 0.0f);
        ImGui::SetNextItemWidth(fieldsWidth / key.count - (key.count > 1 ? 4.0f : 0.0f));
        ImGui::PushID(i);
        double& value = key.at(edited, i);
        ImGui::InputDouble("##value", &value, 0.0, 0.0, "%g", ImGuiInputTextFlags_CharsScientific);
        if (!(value >= key.low)) value = key.low;
        if (value > key.high) value = key.high;
        if (ImGui::IsItemHovered()) {
            char low[32], high[32];
            std::snprintf(low, sizeof low, "%g", key.low);
            std::snprintf(high, sizeof high, "%g", key.high);
            ImGui::SetTooltip(_("%s to %s %s"), low, high, key.unit);
        }
        ImGui::PopID();
    }
    ImGui::PopID();
}

void Rebuild() {
    PanelAction action;
    action.verb = PanelVerb::Machine;
    action.edits = Edits();
    Machine checked;
    if (!VaryMachine(MachineInForce(), MachineValuesOf(action.edits), checked, refusal)) return;
    refusal.clear();
    QueuePanelAction(action);
}

// "~/" stands for the home folder, as a shell would read it.
std::string TypedPath() {
    const std::string typed = savePath;
    const char* home = std::getenv("HOME");
    if (typed.rfind("~/", 0) == 0 && home != nullptr && home[0] != '\0')
        return home + typed.substr(1);
    return typed;
}

void SaveAs() {
    const std::string path = TypedPath();
    Machine checked;
    if (!VaryMachine(MachineInForce(), MachineValuesOf(Edits()), checked, refusal)) return;
    std::string message;
    const SaveOutcome outcome = SaveMachineFile(checked, path, askedToReplace == path, message);
    askedToReplace = outcome == SaveOutcome::kAskAgain ? path : std::string();
    refusal = outcome == SaveOutcome::kSaved ? std::string() : message;
    if (outcome == SaveOutcome::kSaved)
        ShowNotice(FormatText(_("Machine saved: %s"), NoticePath(message).c_str()));
}

void Tables(float width) {
    for (int t = 0; t < kMachineTableCount; ++t) {
        const char* table = kMachineTables[t].name;
        if (!ImGui::TreeNodeEx(table, t == 0 ? ImGuiTreeNodeFlags_DefaultOpen : 0)) continue;
        for (int k = 0; k < kMachineKeyCount; ++k)
            if (std::strcmp(kMachineKeys[k].table, table) == 0) KeyRow(kMachineKeys[k], width);
        ImGui::TreePop();
    }
}

} // namespace

void AddMachineTexts(std::string& glyphs) {
    for (const char* text : kMachineTexts)
        glyphs += Translate(text);
}

void MachineSection(float width) {
    FollowMachineInForce();
    Tables(width);
    ImGui::Separator();
    if (ImGui::Button(_("Rebuild"))) Rebuild();
    ImGui::SameLine();
    if (ImGui::Button(_("Revert"))) {
        edited = MachineInForce();
        refusal.clear();
    }
    ImGui::TextUnformatted(_("File"));
    ImGui::SameLine();
    ImGui::SetNextItemWidth(width * 0.6f);
    ImGui::InputText("##path", savePath, sizeof savePath);
    ImGui::SameLine();
    if (ImGui::Button(_("Save as"))) SaveAs();
    if (refusal.empty()) return;
    ImGui::PushStyleColor(ImGuiCol_Text, IM_COL32(255, 110, 90, 255));
    ImGui::PushTextWrapPos(width);
    ImGui::TextUnformatted(refusal.c_str());
    ImGui::PopTextWrapPos();
    ImGui::PopStyleColor();
}
