// The conversions from physics poses to graphics world matrices: physics z up is graphics y up.
#pragma once

#include <d3dx8.h>
#include <ode/ode.h>

D3DXMATRIX PhysicsToGraphicsRotation(const dReal* R);
D3DXMATRIX MakeBodyDrawMatrix(const dReal* p, const dReal* R);
