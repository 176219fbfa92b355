// The two-beam laser cannon: firing with recoil, and the beams' flight.
#pragma once

#include <d3dx8.h>

struct LaserBeam {
    D3DXVECTOR3 origin;
    D3DXVECTOR3 direction;
    float travel;
};

extern LaserBeam laserBeams[2];

void FireLaser();
void DrawLaserBeams();
