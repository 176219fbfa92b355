// The gait lab: foot trails (F2) and the gait panel (F3), both off until toggled. What they show
// is recorded every tick whether shown or not, so a trail or plot turned on is already full.
#pragma once

#include <d3dx8.h>

constexpr int kLegCount = 8;
constexpr int kTrailTicks = 64;  // about three seconds on screen
constexpr int kSpeedTicks = 200; // ten seconds on screen at 20 ticks a second

extern bool footTrailsOn;
extern bool gaitPanelOn;

// Newest first: age 0 is this tick's sample. Ages beyond RecordedTicks() are not valid.
int RecordedTicks();
// Where the foot of leg (j, e) was on the machine, placed where the machine is now, in graphics
// coordinates: the path each foot runs relative to the chassis. The leg's index is 2·j + e.
D3DXVECTOR3 FootPoint(int leg, int age);
// The chassis speed over the ground (the horizontal part of its velocity), units per second.
float WalkingSpeed(int age);

// Crank (j, e)'s phase error against the crank it is locked to, in degrees within -180..180;
// false for the two master cranks, which follow nothing.
bool CrankPhaseError(int j, int e, double& degrees);

// Toggles on F2 and F3 and records this tick's foot points and speed; after the physics step.
void UpdateGaitLab();
// Forgets the recorded ticks, so that a rebuilt machine starts with empty trails and plot.
void ClearGaitRecord();
// Trails and panel when on; nothing at all, not even a state change, when both are off.
void DrawGaitLab();
