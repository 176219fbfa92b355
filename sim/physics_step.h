// The per-tick physics step: phase-locked crank motors, contact generation and one world step.
#pragma once

#include <ode/ode.h>

extern int flankCommand[2];
extern float crankSpeed;
extern float frictionCoefficient;
constexpr float kStartCrankSpeed = 3.0f;
constexpr float kStartFrictionCoefficient = 350.0f;

void StepPhysics();
void NearCallback(void* data, dGeomID geom1, dGeomID geom2);
void ShutDownScene();
