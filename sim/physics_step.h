// The per-tick physics step: phase-locked crank motors, contact generation and one world step.
#pragma once

#include <ode/ode.h>

extern int flankCommand[2];
extern float crankSpeed;
extern float frictionCoefficient;
// The control inputs the machine in force starts from, and the reset key returns to.
float StartCrankSpeed();
float StartFrictionCoefficient();

void StepPhysics();
void NearCallback(void* data, dGeomID geom1, dGeomID geom2);
void ShutDownScene();
