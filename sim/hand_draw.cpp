// The hand's spring, drawn while it holds.
#include "sim/hand.h"

#include "gfx/device/d3d_device.h"
#include "gfx/immediate.h"

void DrawHand() {
    if (!HandHolds()) return;
    const D3DXVECTOR3 from = HeldPoint();
    double to[3];
    HandTarget(to);
    d3dDevice->SetTexture(0, nullptr);
    DrawLine(from.x, from.y, from.z, float(to[0]), float(to[1]), float(to[2]), 0xFFFFFF00,
             0xFFFF8000);
}
