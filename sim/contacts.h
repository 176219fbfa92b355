// Contacts (F4): every contact point of the tick's last physics step with the force it carried,
// read from the engine's joint feedback after the step and before the contact joints go. The
// gait lab's footfall record reads the same numbers. Reading them leaves the dynamics alone:
// the engine only writes the forces it has already found into the feedback records.
#pragma once

#include <ode/ode.h>

constexpr int kMaxRecordedContacts = 256; // more than the 15-per-pair cut lets a step make
// Arrow length per force unit: at 1 unit of length per 100 units of force the standing
// machine's contacts carry arrows of one to three units, a foot's worth of leg.
constexpr double kContactArrowScale = 0.01;
// A contact point moving faster than this along the ground slides, whatever its force.
constexpr double kSlideSpeed = 0.1;
// A contact whose tangential force is this share of the friction limit or more slides.
constexpr double kFrictionLimitShare = 0.99;

struct ContactPoint {
    dVector3 position; // physics frame
    dVector3 normal;
    dVector3 force; // on the machine, after the step
    int leg;        // 0..7 by 2·j + e; -1 for the chassis
    float mu;       // the friction limit the contact was made with
    bool slides;
    dBodyID body; // the machine's body in contact
    dJointFeedback feedback;
};

extern bool contactsOn;
// Whether the physics step keeps its contacts at all: the program sets it while it draws, so a
// run without drawing (and the physics benchmark) keeps none.
extern bool recordContacts;

// This step's contacts, in the order the collision made them.
int ContactCount();
const ContactPoint& ContactAt(int i);
// Contacts beyond kMaxRecordedContacts in this step, not kept.
int DroppedContacts();
// Sum of the vertical forces on leg `leg` in this step; whether it touches the ground or a
// hill at all; whether the step gave it a contact of its own (at most 15 contacts for the whole
// machine against one piece of scenery, so a foot can touch without one).
double LegVerticalForce(int leg);
bool LegTouches(int leg);
bool LegCarries(int leg);

// The machine's weight: the mass of all its bodies times the 9.8 of gravity.
double MachineWeight();

// The physics step's hooks: forget the last step's contacts, note one made by NearCallback,
// and read the forces after the world step.
void BeginContactRecord();
void NoteContact(dJointID joint, const dContact& contact);
void ReadContactForces();

// F4 toggles the drawing; after the ground quad, like the gait lab.
void UpdateContactKey();
void DrawContacts();
