// The driver controls and the simulation's per-tick frame function.
#pragma once

extern int viewMode;
extern float nudgeAmount;

void ReadControls();
void RunFrame();
