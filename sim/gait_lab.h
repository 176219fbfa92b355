// The gait lab: foot trails (F2), the gait panel (F3) and the footfall diagram (F5), all off
// until toggled. What they show is recorded every physics step whether shown or not, so a trail
// or plot turned on is already full. Their time runs in steps (0.07 simulated seconds each),
// one a tick at the normal rate, so slow motion stretches them with the machine.
#pragma once

#include <d3dx8.h>

constexpr int kLegCount = 8;
constexpr int kTrailTicks = 64;  // about three seconds on screen
constexpr int kSpeedTicks = 200; // ten seconds on screen at 20 ticks a second

extern bool footTrailsOn;
extern bool gaitPanelOn;
extern bool footfallPanelOn;

// Newest first: age 0 is the last step's sample. Ages beyond RecordedTicks() are not valid.
int RecordedTicks();
// Where the foot of leg (j, e) was on the machine, placed where the machine is now, in graphics
// coordinates: the path each foot runs relative to the chassis. The leg's index is 2·j + e.
D3DXVECTOR3 FootPoint(int leg, int age);
// The chassis speed over the ground (the horizontal part of its velocity), units per second.
float WalkingSpeed(int age);

// Crank (j, e)'s phase error against the crank it is locked to, in degrees within -180..180;
// false for the two master cranks, which follow nothing.
bool CrankPhaseError(int j, int e, double& degrees);

// Whether leg `leg` touched the ground in the step `age` steps ago, whether it had contacts of
// its own then (see LegCarries), and the vertical force the ground pushed it up with. Kept for
// kSpeedTicks steps.
bool FootDown(int leg, int age);
bool FootCarries(int leg, int age);
float FootForce(int leg, int age);
// Over the recorded steps of the last kSpeedTicks: the share of them in contact, and the mean
// vertical force (steps off the ground count as 0, so the legs' means add up to the weight the
// feet carry). False while nothing is recorded.
bool FootfallSummary(int leg, double& dutyFactor, double& meanForce);

// Toggles on F2, F3 and F5; once a tick, after the physics steps.
void UpdateGaitLab();
// Records this step's foot points, speed and footfalls; after every physics step.
void RecordGaitStep();
// Forgets the recorded ticks, so that a rebuilt machine starts with empty trails and plot.
void ClearGaitRecord();
// Trails and panels when on; nothing at all, not even a state change, when all are off.
void DrawGaitLab();
