// Time control: the simulation rate on the - and = keys, from 1/16 to 4 physics steps a tick.
// At rate 1, the start value, every tick takes one step as always. Slower rates take a step
// every k ticks and draw the ticks between at poses interpolated between the last two steps;
// faster ones take several steps a tick. Ticks, input, camera and drawing keep 20 a second.
#pragma once

#include <d3dx8.h>

constexpr int kRateCount = 7;
constexpr int kNormalRate = 4; // index of rate 1 in 1/16, 1/8, 1/4, 1/2, 1, 2, 4

extern int rateIndex;
// How many physics steps this tick takes: 0 while paused or between two steps of slow motion.
extern int stepsThisTick;
// Called after every physics step when set (the replay runner's per-step trace); null in the
// program.
extern void (*afterPhysicsStep)();

// Ticks per step (1 at rate 1 and above) and steps per tick (1 at rate 1 and below).
int TicksPerStep();
int StepsPerTick();
// "1/4", "2", ...
const char* RateName();
// Simulated ticks (0.07 s each) this tick covers: the beams fly by it. 1 at rate 1.
float SimulatedTicksThisTick();

// Reads - (slower) and = (faster), and plans this tick's steps; after the session keys, which
// decide whether the tick advances at all.
void ReadTimeKeys();
// Runs this tick's physics steps, keeping the machine's pose before the last one for the
// drawing, and the per-step records (gait lab, contacts) after each.
void RunPhysicsSteps();
// The pose kept before the last step is no longer the one the machine left: a rebuild or a
// nudge. The drawing shows the machine as it is until the next step.
void ForgetPoseBeforeStep();

// The world matrix to draw body `index` with (links 0..31, the chassis 32): the body's own
// pose, or in slow motion the pose between the last two steps that this tick shows.
constexpr int kChassisPose = 32;
D3DXMATRIX PoseDrawMatrix(int index);
// The share of the way from the pose before the last step to the pose after it that this tick
// shows: 1 unless slow motion is between two steps.
float DrawFraction();
