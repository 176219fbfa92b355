// What the panel and the hand change, as actions: queued by the panel while it is drawn, or by
// the replay runner from a script, and applied together at the start of the next tick, before
// anything reads the keys. The recording writes each applied action with the tick it acted in,
// so a replay applies it at the same point of the same tick.
#pragma once

#include <vector>

#include "records/panel_script.h"

void QueuePanelAction(const PanelAction& action);
// Applies the queued actions in order; they become this tick's actions.
void ApplyPanelActions();
const std::vector<PanelAction>& PanelActionsThisTick();

// One-shot requests of this tick, taken (and cleared) where their keys are read.
bool TakeStepRequest();
bool TakeScreenshotRequest();
bool TakeVideoRequest();
