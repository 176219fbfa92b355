// The contacts' drawing (F4): a cross at every point of the last step and an arrow of the force
// it carried, white where it grips and red where it slides.
#include "sim/contacts.h"

#include <dinput.h>

#include <cmath>

#include "gfx/device/d3d_device.h"
#include "gfx/immediate.h"
#include "input/input.h"
#include "sim/scene.h"

namespace {

constexpr D3DCOLOR kStickColor = 0xFFFFFFFF;
constexpr D3DCOLOR kSlideColor = 0xFFFF3030;
constexpr float kMarkSize = 0.25f; // half the cross at each point, in units
constexpr float kHeadShare = 0.2f; // arrowhead length as a share of the arrow, at most 0.6 units

LineVertex Vertex(const dReal* p, D3DCOLOR color) {
    // Physics (x, y, z) is graphics (x, z, y).
    return {static_cast<float>(p[0]), static_cast<float>(p[2]), static_cast<float>(p[1]), color};
}

} // namespace

void UpdateContactKey() {
    if (GetKey(DIK_F4) == 2) contactsOn = !contactsOn;
}

// Drawn over everything, like the foot trails: the points lie under the feet, where the legs
// would hide them from most views.
void DrawContacts() {
    const int count = ContactCount();
    if (!contactsOn || count == 0) return;
    // Per contact: three lines for the cross, one for the shaft, two for the head.
    static LineVertex vertices[kMaxRecordedContacts * 12];
    int n = 0;
    for (int i = 0; i < count; ++i) {
        const ContactPoint& c = ContactAt(i);
        const D3DCOLOR color = c.slides ? kSlideColor : kStickColor;
        for (int axis = 0; axis < 3; ++axis) {
            dVector3 a = {c.position[0], c.position[1], c.position[2]};
            dVector3 b = {a[0], a[1], a[2]};
            a[axis] -= kMarkSize;
            b[axis] += kMarkSize;
            vertices[n++] = Vertex(a, color);
            vertices[n++] = Vertex(b, color);
        }
        dVector3 tip;
        for (int k = 0; k < 3; ++k)
            tip[k] = c.position[k] + kContactArrowScale * c.force[k];
        vertices[n++] = Vertex(c.position, color);
        vertices[n++] = Vertex(tip, color);
        const double length = std::sqrt(dCalcVectorDot3(c.force, c.force)) * kContactArrowScale;
        if (length < 1e-6) continue;
        // The head's two barbs lie in the plane of the arrow and a horizontal line across it.
        dVector3 along = {c.force[0] / length * kContactArrowScale,
                          c.force[1] / length * kContactArrowScale,
                          c.force[2] / length * kContactArrowScale};
        dVector3 across = {-along[1], along[0], 0};
        double acrossLength = std::sqrt(dCalcVectorDot3(across, across));
        if (acrossLength < 1e-6) {
            across[0] = 1;
            across[1] = 0;
            acrossLength = 1;
        }
        const double head = std::fmin(0.6, kHeadShare * length);
        for (int side = -1; side <= 1; side += 2) {
            dVector3 barb;
            for (int k = 0; k < 3; ++k)
                barb[k] = tip[k] - head * along[k] + side * 0.5 * head * across[k] / acrossLength;
            vertices[n++] = Vertex(tip, color);
            vertices[n++] = Vertex(barb, color);
        }
    }
    d3dDevice->SetTexture(0, nullptr);
    d3dDevice->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    VertexBuffer vb;
    if (vb.Create(vertices, D3DFVF_XYZ | D3DFVF_DIFFUSE, n * sizeof(LineVertex))) vb.DrawLineList();
    d3dDevice->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    d3dDevice->SetTexture(0, groundTexture.texture);
}
