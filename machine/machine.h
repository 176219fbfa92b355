// The numbers that make the walking machine what it is: its leg linkage, the links' build, where
// the legs sit on the chassis, the chassis, the crank drive and the ground contact. One machine is
// in force at a time; the world is built from it and the physics step reads its drive and contact.
// Lengths in metres (the physics units), masses in kilograms, times in seconds.
#pragma once

struct Linkage {
    double crank;   // crank pivot A to crank end B
    double base;    // crank pivot A to rocker pivot D, the link welded to the chassis
    double rocker;  // rocker pivot D to rocker end C
    double coupler; // crank end B to the rocker joint C
    double foot;    // crank end B to the foot point P, on the coupler's line through C
};

struct Links {
    double thickness; // the square cross-section's side of every link
    double density;   // kg per cubic metre
};

struct Legs {
    double planes[4]; // build-plane z of legs 0..3; legs 0 and 1 form flank 0, legs 2 and 3 flank 1
    double endSpacing; // the front set of legs sits this far along x from the rear set
};

struct Chassis {
    double centre[3]; // in the build frame
    double length, height, width;
    double mass;
};

struct Drive {
    double maxTorque;    // the crank motors' force limit
    double endGain;      // phase correction of a front crank towards its rear crank, per second
    double halfTurnGain; // phase correction of legs 1 and 3 towards half a turn from 0 and 2
    double crankSpeed;   // the crank speed at start, radians per second
};

struct Contact {
    double friction; // the friction coefficient at start
    double bounce;
    double bounceVelocity;
    double softCfm;
};

struct Machine {
    Linkage linkage;
    Links links;
    Legs legs;
    Chassis chassis;
    Drive drive;
    Contact contact;
};

// The machine the program has always built.
const Machine& DesignMachine();

// The machine the world is built from: the design's unless another was put in force.
const Machine& MachineInForce();
void PutMachineInForce(const Machine& machine);

bool SameMachine(const Machine& a, const Machine& b);
