// Pause, single step and reset: driving aids on keys the driver controls leave free (P, O and
// Backspace). Nothing here acts until one of them is pressed.
#pragma once

extern bool paused;
// Whether this tick advances the simulation: the driver's physics inputs, crank control, physics
// step and laser beams. A paused tick leaves all of them as they are; only the view goes on.
extern bool simulationAdvances;

// Reads P (pause/resume), O (one step while paused) and Backspace (reset); runs before the
// driver controls so that a reset tick behaves as the first tick after start-up.
void ReadSessionKeys();
// Destroys the physics world and builds it again, and puts the control inputs, the driver state
// and the beams back to their start values. Resources, device and window are untouched, and so
// is the pause: a paused machine is rebuilt and stays paused.
void ResetMachine();
