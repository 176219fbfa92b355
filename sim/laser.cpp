// The two-beam laser cannon's shot. The beams are graphics only (laser_draw.cpp flies them);
// the recoil is the only effect on the physics.
#include "sim/laser.h"

#include "sim/body_matrix.h"
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
