// The driver controls and the simulation's per-tick frame function.
#pragma once

extern int viewMode;
extern float nudgeAmount;
// True in every run of the program; the replay runner's --no-draw clears it, leaving the tick's
// controls and physics without the picture.
extern bool drawFrames;

void ReadControls();
void RunFrame();
