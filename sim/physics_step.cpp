// The per-tick physics step. The gait comes from phase locking: every leg has its own crank
// motor, the two master cranks run at the commanded speed and every other crank is steered
// towards its reference crank's phase.
#include "sim/physics_step.h"

#include <cmath>

#include "machine/machine.h"
#include "sim/contacts.h"
#include "sim/world.h"

int flankCommand[2] = {0, 0};
float crankSpeed = StartCrankSpeed();
float frictionCoefficient = StartFrictionCoefficient();

float StartCrankSpeed() {
    return static_cast<float>(MachineInForce().drive.crankSpeed);
}

float StartFrictionCoefficient() {
    return static_cast<float>(MachineInForce().contact.friction);
}

namespace {

constexpr int kMaxContacts = 15;

// A crank angle mapped to [0, 2pi).
dReal W(dReal a) {
    return a < 0 ? a + 2 * M_PI : a;
}

// The phase half a turn away from the crank angle a.
dReal H(dReal a) {
    dReal h = W(a) + M_PI;
    if (h > 2 * M_PI) h -= 2 * M_PI;
    return h;
}

dJointID Crank(int j, int e) {
    return hinges[HingeIndex(0, j, e)];
}
dReal Theta(int j, int e) {
    return dJointGetHingeAngle(Crank(j, e));
}

} // namespace

void StepPhysics() {
    const Drive& drive = MachineInForce().drive;
    const float speed0 = flankCommand[0] * crankSpeed;
    const float speed1 = flankCommand[1] * crankSpeed;

    // The phase errors stay unwrapped: near the 0/2pi seam a follower gets a kick of up to
    // about 2pi times the gain, which the gait has always had.
    for (int e = 0; e < 2; ++e) {
        for (int j = 0; j < 4; ++j) {
            dJointSetHingeParam(Crank(j, e), dParamFMax, drive.maxTorque);
            switch (j) {
            case 0:
                if (e == 0) {
                    dJointSetHingeParam(Crank(0, 0), dParamVel, speed0);
                } else {
                    dJointSetHingeParam(Crank(0, 1), dParamVel,
                                        speed0 + drive.endGain * (W(Theta(0, 0)) - W(Theta(0, 1))));
                }
                break;
            case 1:
                if (e == 0) {
                    dJointSetHingeParam(Crank(2, 0), dParamVel, speed1);
                } else {
                    dJointSetHingeParam(Crank(2, 1), dParamVel,
                                        speed1 + drive.endGain * (W(Theta(2, 0)) - W(Theta(2, 1))));
                }
                break;
            case 2:
                dJointSetHingeParam(Crank(1, e), dParamVel,
                                    speed0 +
                                        drive.halfTurnGain * (H(Theta(0, e)) - W(Theta(1, e))));
                break;
            case 3:
                dJointSetHingeParam(Crank(3, e), dParamVel,
                                    speed1 +
                                        drive.halfTurnGain * (H(Theta(2, e)) - W(Theta(3, e))));
                break;
            }
        }
    }

    if (recordContacts) BeginContactRecord();
    dSpaceCollide(worldSpace, 0, NearCallback);
    dWorldStep(world, 0.07);
    // The contact joints' feedback is only valid until the group is emptied.
    if (recordContacts) ReadContactForces();
    dJointGroupEmpty(contactGroup);
}

void NearCallback(void*, dGeomID geom1, dGeomID geom2) {
    const Contact& surface = MachineInForce().contact;
    dContact contacts[kMaxContacts];
    const int n = dCollide(geom1, geom2, kMaxContacts, &contacts[0].geom, sizeof(dContact));
    for (int i = 0; i < n; ++i) {
        dContact& c = contacts[i];
        c.surface.mode = dContactBounce | dContactSoftCFM;
        c.surface.mu = frictionCoefficient;
        c.surface.bounce = surface.bounce;
        c.surface.bounce_vel = surface.bounceVelocity;
        c.surface.soft_cfm = surface.softCfm;
        dJointID joint = dJointCreateContact(world, contactGroup, &c);
        dJointAttach(joint, dGeomGetBody(c.geom.g1), dGeomGetBody(c.geom.g2));
        if (recordContacts) NoteContact(joint, c);
    }
}

void ShutDownScene() {
    // Nothing to destroy when the world was never built (or is already gone).
    if (world == nullptr) return;
    dJointGroupDestroy(contactGroup);
    for (int e = 0; e < 2; ++e) {
        for (int j = 0; j < 4; ++j) {
            for (int r = 0; r < 4; ++r) {
                dGeomDestroy(linkGeoms[LinkIndex(r, j, e)]);
            }
        }
    }
    dGeomDestroy(groupGeoms[0]);
    // The hash space's default clean-up also destroys the plane, the hills and the emptied
    // vehicle space.
    dSpaceDestroy(worldSpace);
    dWorldDestroy(world);
    // The handles now dangle; clear them so nothing reaches a destroyed object through them.
    world = nullptr;
    worldSpace = vehicleSpace = nullptr;
    contactGroup = nullptr;
    groundPlane = nullptr;
    chassisBody = nullptr;
    for (dBodyID& b : linkBodies)
        b = nullptr;
    for (dGeomID& g : linkGeoms)
        g = nullptr;
    for (dGeomID& g : groupGeoms)
        g = nullptr;
    for (dJointID& h : hinges)
        h = nullptr;
    for (dJointID& f : fixedJoints)
        f = nullptr;
    if (odeInitialised) {
        dCloseODE();
        odeInitialised = false;
    }
}
