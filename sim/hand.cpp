// The hand's spring and the picking of the body it grabs.
#include "sim/hand.h"

#include <cmath>
#include <ode/ode.h>

#include "records/panel_script.h"
#include "sim/contacts.h"
#include "sim/world.h"

namespace {

// A pull of one metre asks for half the machine's weight; the force never exceeds the whole
// weight, so a long drag tips the machine instead of flinging it off the ground.
constexpr double kStiffnessShare = 0.5;
constexpr double kForceLimitShare = 1.0;
// Damping of the held point's speed, in weights per metre per second: enough that the machine
// settles under the hand instead of swinging on the spring.
constexpr double kDampingShare = 0.3;
constexpr double kPickRange = 1000.0;

struct Hand {
    bool holding = false;
    int body = 0;
    dVector3 point = {};
    dVector3 target = {};
};

Hand hand;

dBodyID BodyAt(int index) {
    if (index < 0 || index >= kPullBodyCount) return nullptr;
    return index < kLinkCount ? linkBodies[index] : chassisBody;
}

} // namespace

void HoldBody(int body, const double point[3], const double target[3]) {
    hand.holding = BodyAt(body) != nullptr;
    hand.body = body;
    for (int i = 0; i < 3; ++i) {
        hand.point[i] = point[i];
        hand.target[i] = target[i];
    }
}

void ReleaseBody() {
    hand.holding = false;
}

bool HandHolds() {
    return hand.holding && BodyAt(hand.body) != nullptr;
}

int HeldBody() {
    return hand.body;
}

void HeldLocalPoint(double point[3]) {
    for (int i = 0; i < 3; ++i)
        point[i] = hand.point[i];
}

D3DXVECTOR3 HeldPoint() {
    dVector3 world;
    dBodyGetRelPointPos(BodyAt(hand.body), hand.point[0], hand.point[1], hand.point[2], world);
    return D3DXVECTOR3(float(world[0]), float(world[1]), float(world[2]));
}

void ApplyHandForce() {
    if (!HandHolds()) return;
    dBodyID body = BodyAt(hand.body);
    dVector3 at, velocity;
    dBodyGetRelPointPos(body, hand.point[0], hand.point[1], hand.point[2], at);
    dBodyGetRelPointVel(body, hand.point[0], hand.point[1], hand.point[2], velocity);
    const double weight = MachineWeight();
    double force[3], size = 0.0;
    for (int i = 0; i < 3; ++i) {
        force[i] =
            weight * (kStiffnessShare * (hand.target[i] - at[i]) - kDampingShare * velocity[i]);
        size += force[i] * force[i];
    }
    size = std::sqrt(size);
    const double limit = kForceLimitShare * weight;
    const double scale = size > limit ? limit / size : 1.0;
    dBodyAddForceAtPos(body, force[0] * scale, force[1] * scale, force[2] * scale, at[0], at[1],
                       at[2]);
}

void HandTarget(double target[3]) {
    for (int i = 0; i < 3; ++i)
        target[i] = hand.target[i];
}

bool PickMachineBody(const D3DXVECTOR3& origin, const D3DXVECTOR3& direction, int& body,
                     double local[3], D3DXVECTOR3& hit) {
    dGeomID ray = dCreateRay(nullptr, kPickRange);
    dGeomRaySet(ray, origin.x, origin.y, origin.z, direction.x, direction.y, direction.z);
    double nearest = kPickRange;
    dVector3 nearestPoint = {};
    body = -1;
    auto test = [&](dGeomID geom, int index) {
        dContactGeom contact;
        if (geom == nullptr || dCollide(ray, geom, 1, &contact, sizeof contact) < 1) return;
        if (contact.depth >= nearest) return;
        nearest = contact.depth;
        body = index;
        for (int i = 0; i < 3; ++i)
            nearestPoint[i] = contact.pos[i];
    };
    for (int i = 0; i < kLinkCount; ++i)
        test(linkGeoms[i], i);
    for (int k = 0; k < kGroupCount; ++k)
        test(groupGeoms[k], kLinkCount);
    dGeomDestroy(ray);
    if (body < 0) return false;
    dVector3 inBody;
    dBodyGetPosRelPoint(BodyAt(body), nearestPoint[0], nearestPoint[1], nearestPoint[2], inBody);
    for (int i = 0; i < 3; ++i)
        local[i] = inBody[i];
    hit = D3DXVECTOR3(float(nearestPoint[0]), float(nearestPoint[1]), float(nearestPoint[2]));
    return true;
}
