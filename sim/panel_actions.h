// What the panel and the hand change, as actions: queued by the panel while it is drawn, or by
// the replay runner from a script, and applied together at the start of the next tick, before
// anything reads the keys. The recording writes each applied action with the tick it acted in,
// so a replay applies it at the same point of the same tick.
#pragma once

#include <string>
#include <vector>

#include "machine/machine.h"
#include "machine/machine_values.h"
#include "records/panel_script.h"

void QueuePanelAction(const PanelAction& action);
// Applies the queued actions in order; they become this tick's actions.
void ApplyPanelActions();
const std::vector<PanelAction>& PanelActionsThisTick();

// Puts `machine` in force and builds the world from it as the reset key builds it.
void RebuildFrom(const Machine& machine);

std::vector<MachineValue> MachineValuesOf(const std::vector<MachineEdit>& edits);
// Whether every machine line of a script, applied in turn from `start` as a run applies them,
// gives a machine that can be built; false with "script:LINE: reason" for the first that does not.
bool CheckMachineLines(const std::vector<PanelAction>& actions, const Machine& start,
                       std::string& error);

// One-shot requests of this tick, taken (and cleared) where their keys are read.
bool TakeStepRequest();
bool TakeScreenshotRequest();
bool TakeVideoRequest();
