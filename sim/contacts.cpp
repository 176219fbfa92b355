// The contact record: the points, forces and footfalls of the last physics step. Its drawing is
// contact_draw.cpp's.
#include "sim/contacts.h"

#include <cmath>

#include "sim/world.h"

// F4's switch lives with the record it shows: a replay's panel lines set it without drawing.
bool contactsOn = false;

bool recordContacts = false;

namespace {

struct NotedContact {
    dJointID joint;
    bool machineIsFirst; // the machine's body is the joint's first
    bool twoBodies;
};

ContactPoint points[kMaxRecordedContacts];
NotedContact noted[kMaxRecordedContacts];
int count = 0;
int dropped = 0;
double legForce[8];
bool legCarries[8]; // has a contact joint this step
bool legTouches[8]; // reaches the ground or a hill, whether the step made it a joint or not

// The machine's geom among the pair, and its leg (-1 for the chassis); false for a pair of
// two scenery geoms, which no body feels.
bool MachineGeom(dGeomID geom, int& leg) {
    for (int n = 0; n < kLinkCount; ++n) {
        if (linkGeoms[n] == geom) {
            leg = n % 8; // n = 8·r + 2·j + e
            return true;
        }
    }
    if (geom == groupGeoms[0]) {
        leg = -1;
        return true;
    }
    return false;
}

double Dot(const dReal* a, const dReal* b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

// The engine's own friction directions for a contact without a given first direction, each
// limited to mu on its own: the contact slides when either is at its limit.
bool Slides(const ContactPoint& c) {
    dVector3 t1, t2;
    dPlaneSpace(c.normal, t1, t2);
    const double limit = kFrictionLimitShare * c.mu;
    if (std::fabs(Dot(c.force, t1)) >= limit || std::fabs(Dot(c.force, t2)) >= limit) return true;
    dVector3 v;
    dBodyGetPointVel(c.body, c.position[0], c.position[1], c.position[2], v);
    const double along = Dot(v, c.normal);
    const double tangential =
        std::sqrt(std::fmax(0.0, Dot(v, v) - along * along / Dot(c.normal, c.normal)));
    return tangential > kSlideSpeed;
}

} // namespace

int ContactCount() {
    return count;
}
const ContactPoint& ContactAt(int i) {
    return points[i];
}
int DroppedContacts() {
    return dropped;
}
double LegVerticalForce(int leg) {
    return legForce[leg];
}
bool LegTouches(int leg) {
    return legTouches[leg];
}
bool LegCarries(int leg) {
    return legCarries[leg];
}

double MachineWeight() {
    if (chassisBody == nullptr) return 0.0;
    dMass m;
    dBodyGetMass(chassisBody, &m);
    double mass = m.mass;
    for (dBodyID body : linkBodies) {
        dBodyGetMass(body, &m);
        mass += m.mass;
    }
    return mass * 9.8;
}

void BeginContactRecord() {
    count = 0;
    dropped = 0;
    // The step keeps at most 15 contacts for the whole machine against one piece of scenery,
    // so a foot can stand on the ground without a contact of its own: asked here, geometry
    // against geometry, before the step moves anything. dCollide only reads the geoms.
    dContactGeom scratch;
    for (int leg = 0; leg < 8; ++leg) {
        legTouches[leg] = false;
        for (int r = 0; r < 4 && !legTouches[leg]; ++r) {
            dGeomID link = linkGeoms[8 * r + leg];
            if (dCollide(link, groundPlane, 1, &scratch, sizeof scratch) > 0)
                legTouches[leg] = true;
            for (int k = 1; k < kGroupCount && !legTouches[leg]; ++k)
                if (dCollide(link, groupGeoms[k], 1, &scratch, sizeof scratch) > 0)
                    legTouches[leg] = true;
        }
    }
}

void NoteContact(dJointID joint, const dContact& contact) {
    int leg = -1;
    dGeomID g1 = contact.geom.g1, g2 = contact.geom.g2;
    bool first = MachineGeom(g1, leg);
    if (!first && !MachineGeom(g2, leg)) return;
    if (count == kMaxRecordedContacts) {
        ++dropped;
        return;
    }
    ContactPoint& c = points[count];
    NotedContact& n = noted[count];
    ++count;
    for (int k = 0; k < 3; ++k) {
        c.position[k] = contact.geom.pos[k];
        c.normal[k] = contact.geom.normal[k];
        c.force[k] = 0;
    }
    c.leg = leg;
    c.mu = static_cast<float>(contact.surface.mu);
    c.slides = false;
    c.body = dGeomGetBody(first ? g1 : g2);
    c.feedback = dJointFeedback{};
    n.joint = joint;
    n.machineIsFirst = first;
    n.twoBodies = dGeomGetBody(first ? g2 : g1) != nullptr;
    dJointSetFeedback(joint, &c.feedback);
}

void ReadContactForces() {
    for (int leg = 0; leg < 8; ++leg) {
        legForce[leg] = 0.0;
        legCarries[leg] = false;
    }
    for (int i = 0; i < count; ++i) {
        ContactPoint& c = points[i];
        // With one body the engine keeps it first and writes its force to f1, whichever side
        // it was attached on.
        const dReal* f =
            !noted[i].twoBodies || noted[i].machineIsFirst ? c.feedback.f1 : c.feedback.f2;
        for (int k = 0; k < 3; ++k)
            c.force[k] = f[k];
        c.slides = Slides(c);
        if (c.leg >= 0) {
            legForce[c.leg] += c.force[2];
            legCarries[c.leg] = legTouches[c.leg] = true;
        }
    }
}
