// The driver controls and the simulation's per-tick frame function.
#pragma once

extern int viewMode;
extern float nudgeAmount;
// True in every run of the program; the replay runner's --no-draw clears it, leaving the tick's
// controls and physics without the picture.
extern bool drawFrames;
// F1's key list shown (drawn by key_help.cpp).
extern bool keyHelpOn;

void ReadControls();
// The tick without its picture: the session, time and driver keys, then the physics steps.
void AdvanceSimulation();
// The tick: AdvanceSimulation, then the picture when drawFrames is set.
void RunFrame();
