// The hand: a spring from a grabbed point of one of the machine's bodies to where the pointer
// holds it, with a force limit, acting before every physics step while held.
#pragma once

#include <d3dx8.h>

// Body 0..31 is a link, 32 the chassis. `point` is in the body's own frame, `target` in the
// world. A body that does not exist (no world yet) is not held.
void HoldBody(int body, const double point[3], const double target[3]);
void ReleaseBody();
bool HandHolds();
// The held point where it is now, in the world.
D3DXVECTOR3 HeldPoint();
int HeldBody();
void HeldLocalPoint(double point[3]);
// Where the pointer holds the spring's other end, in the world.
void HandTarget(double target[3]);

// The spring's force on the held body; before each physics step.
void ApplyHandForce();
// The spring as a line from the held point to the target; nothing at all while nothing is held.
// Drawn by the picture's half (hand_draw.cpp).
void DrawHand();

// The nearest of the machine's bodies the ray from `origin` along `direction` meets: its index,
// the point hit in the body's frame and in the world. False when it meets none.
bool PickMachineBody(const D3DXVECTOR3& origin, const D3DXVECTOR3& direction, int& body,
                     double local[3], D3DXVECTOR3& hit);
