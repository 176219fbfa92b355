// The two-beam laser cannon. The beams are graphics only: they fly along their direction one
// unit a frame and touch nothing; the recoil is the only effect on the physics.
#include "sim/laser.h"

#include "gfx/device/d3d_device.h"
#include "gfx/immediate.h"
#include "sim/scene.h"
#include "sim/session_keys.h"
#include "sim/time_control.h"
#include "sim/world.h"

LaserBeam laserBeams[2] = {};

void FireLaser() {
    const dReal* p = dBodyGetPosition(chassisBody);
    const dReal* R = dBodyGetRotation(chassisBody);
    for (int k = 0; k < 2; ++k) {
        LaserBeam& beam = laserBeams[k];
        beam.travel = 0.1f;
        beam.origin = D3DXVECTOR3(static_cast<float>(p[0]), static_cast<float>(p[2]) + 1.0f,
                                  static_cast<float>(p[1]));
        D3DXMATRIX rotation = PhysicsToGraphicsRotation(R);
        D3DXVECTOR3 xAxis(1.0f, 0.0f, 0.0f);
        D3DXVECTOR4 turned;
        D3DXVec3Transform(&turned, &xAxis, &rotation);
        beam.direction = D3DXVECTOR3(turned.x, turned.y, turned.z);
        dBodyAddForce(chassisBody, -13000.0f * beam.direction.x, -13000.0f * beam.direction.z,
                      -13000.0f * beam.direction.y);
        beam.origin += 6.0f * beam.direction;
        D3DXMATRIX side;
        D3DXMatrixRotationY(&side, static_cast<float>(k) * D3DX_PI - D3DX_PI / 2.0f);
        D3DXVECTOR3 offset = 3.6f * beam.direction;
        D3DXVec3Transform(&turned, &offset, &side);
        beam.origin += D3DXVECTOR3(turned.x, turned.y, turned.z);
    }
}

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
