// The laser's beams in flight: they fly along their direction one unit a frame and touch
// nothing.
#include "sim/laser.h"

#include "gfx/device/d3d_device.h"
#include "gfx/immediate.h"
#include "sim/scene.h"
#include "sim/session_keys.h"
#include "sim/time_control.h"

void DrawLaserBeams() {
    if (laserBeams[0].travel == 0.0f) return;
    for (int k = 0; k < 2; ++k) {
        LaserBeam& beam = laserBeams[k];
        float t = beam.travel;
        D3DXVECTOR3 start = beam.origin + t * beam.direction;
        D3DXVECTOR3 end = start + 2.0f * beam.direction;
        d3dDevice->SetRenderState(D3DRS_LIGHTING, FALSE);
        d3dDevice->SetTransform(D3DTS_WORLD, &identityMatrix);
        DrawLine(start.x, start.y, start.z, end.x, end.y, end.z, 0xF0FF0000, 0xF0FF0000);
        if (!simulationAdvances) continue; // paused: the beams stand where they are
        // One unit a simulated tick: slow motion slows the beams with the machine.
        beam.travel = t + SimulatedTicksThisTick();
        if (beam.travel > 40.0f) beam.travel = 0.0f;
    }
}
