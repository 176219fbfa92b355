// The machine file's keys.
#include "machine/machine_keys.h"

#include <charconv>
#include <string>

namespace {

// Lengths below a millimetre or above a kilometre are no machine the physics can step.
constexpr double kShortest = 0.001, kLongest = 1000.0;

} // namespace

const MachineTable kMachineTables[] = {
    {"linkage", "The lambda linkage of every leg, a four-bar loop. The crank must be the shortest "
                "link and\n# shortest + longest must be less than the other two, or the crank "
                "cannot turn a full circle."},
    {"links", "The box every link is made of."},
    {"legs", "Where the eight legs sit: four build planes, each with a rear and a front leg."},
    {"chassis", "The flat box that carries the legs."},
    {"drive", "The crank motors, one per leg, kept in step by phase locking."},
    {"contact", "The ground contact."},
};
const int kMachineTableCount = sizeof kMachineTables / sizeof kMachineTables[0];

#define FIELD(path) [](Machine& m, int) -> double& { return m.path; }
#define ELEMENT(path) [](Machine& m, int i) -> double& { return m.path[i]; }

const MachineKey kMachineKeys[] = {
    {"linkage", "crank", 1, "m", "crank pivot to crank end", kShortest, kLongest,
     FIELD(linkage.crank)},
    {"linkage", "base", 1, "m", "crank pivot to rocker pivot, the link fixed to the chassis",
     kShortest, kLongest, FIELD(linkage.base)},
    {"linkage", "rocker", 1, "m", "rocker pivot to the rocker's joint on the coupler", kShortest,
     kLongest, FIELD(linkage.rocker)},
    {"linkage", "coupler", 1, "m", "crank end to the rocker's joint on the coupler", kShortest,
     kLongest, FIELD(linkage.coupler)},
    {"linkage", "foot", 1, "m", "crank end to the foot, on the coupler's line past the joint",
     kShortest, kLongest, FIELD(linkage.foot)},
    {"links", "thickness", 1, "m", "side of every link's square cross-section", kShortest, 100.0,
     FIELD(links.thickness)},
    {"links", "density", 1, "kg/m^3", "density of every link", 0.001, 1e6, FIELD(links.density)},
    {"legs", "planes", 4, "m", "build-plane z of legs 0 to 3 (flanks: legs 0, 1 and 2, 3)",
     -kLongest, kLongest, ELEMENT(legs.planes)},
    {"legs", "end_spacing", 1, "m", "front legs' distance along x from the rear legs", kShortest,
     kLongest, FIELD(legs.endSpacing)},
    {"chassis", "centre", 3, "m", "centre x, y, z in the build frame (legs rise along +y)",
     -kLongest, kLongest, ELEMENT(chassis.centre)},
    {"chassis", "length", 1, "m", "size along x", kShortest, kLongest, FIELD(chassis.length)},
    {"chassis", "height", 1, "m", "size along y (the thickness of the deck)", kShortest, kLongest,
     FIELD(chassis.height)},
    {"chassis", "width", 1, "m", "size along z", kShortest, kLongest, FIELD(chassis.width)},
    {"chassis", "mass", 1, "kg", "mass of the chassis", 0.001, 1e7, FIELD(chassis.mass)},
    {"drive", "max_torque", 1, "N m", "force limit of every crank motor", 0.001, 1e9,
     FIELD(drive.maxTorque)},
    {"drive", "end_gain", 1, "1/s", "a front crank's correction per radian behind its rear crank",
     0.0, 1000.0, FIELD(drive.endGain)},
    {"drive", "half_turn_gain", 1, "1/s",
     "legs 1, 3: correction per radian off half a turn from legs 0, 2", 0.0, 1000.0,
     FIELD(drive.halfTurnGain)},
    {"drive", "crank_speed", 1, "rad/s", "crank speed at start (R and F change it)", -100.0, 100.0,
     FIELD(drive.crankSpeed)},
    {"contact", "friction", 1, "1", "friction coefficient at start (T and G change it)", 0.0, 1e9,
     FIELD(contact.friction)},
    {"contact", "bounce", 1, "1", "restitution of a contact", 0.0, 1.0, FIELD(contact.bounce)},
    {"contact", "bounce_velocity", 1, "m/s", "slowest approach that bounces at all", 0.0, 1000.0,
     FIELD(contact.bounceVelocity)},
    {"contact", "soft_cfm", 1, "m/N", "softness of a contact (constraint force mixing)", 0.0, 1.0,
     FIELD(contact.softCfm)},
};
const int kMachineKeyCount = sizeof kMachineKeys / sizeof kMachineKeys[0];

#undef FIELD
#undef ELEMENT

const MachineKey* FindMachineKey(std::string_view path, int& index) {
    for (const MachineKey& key : kMachineKeys) {
        const std::string name = std::string(key.table) + "." + key.name;
        if (path == name && key.count == 1) {
            index = 0;
            return &key;
        }
        if (key.count == 1 || path.size() <= name.size() + 1 ||
            path.substr(0, name.size()) != name || path[name.size()] != '.')
            continue;
        const std::string_view digits = path.substr(name.size() + 1);
        auto [end, status] = std::from_chars(digits.data(), digits.data() + digits.size(), index);
        if (status == std::errc() && end == digits.data() + digits.size() && index >= 0 &&
            index < key.count)
            return &key;
    }
    return nullptr;
}
