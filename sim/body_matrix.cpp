// Physics poses as graphics world matrices: arithmetic alone, so the recoil's direction (which
// the laser takes from them) needs no graphics device.
#include "sim/body_matrix.h"

D3DXMATRIX PhysicsToGraphicsRotation(const dReal* R) {
    D3DXMATRIX g;
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            g.m[row][col] = static_cast<float>(R[col * 4 + row]);
    // Physics z up becomes graphics y up: exchange rows 1 and 2, then columns 1 and 2.
    for (int col = 0; col < 3; ++col) {
        float t = g.m[1][col];
        g.m[1][col] = g.m[2][col];
        g.m[2][col] = t;
    }
    for (int row = 0; row < 3; ++row) {
        float t = g.m[row][1];
        g.m[row][1] = g.m[row][2];
        g.m[row][2] = t;
    }
    g.m[0][3] = g.m[1][3] = g.m[2][3] = 0.0f;
    g.m[3][0] = g.m[3][1] = g.m[3][2] = 0.0f;
    g.m[3][3] = 1.0f;
    return g;
}

D3DXMATRIX MakeBodyDrawMatrix(const dReal* p, const dReal* R) {
    D3DXMATRIX turn, rotation, translation, turned, out;
    D3DXMatrixRotationY(&turn, 1.57075f);
    rotation = PhysicsToGraphicsRotation(R);
    D3DXMatrixTranslation(&translation, static_cast<float>(p[0]), static_cast<float>(p[2]),
                          static_cast<float>(p[1]));
    D3DXMatrixMultiply(&turned, &turn, &rotation);
    D3DXMatrixMultiply(&out, &turned, &translation);
    return out;
}
