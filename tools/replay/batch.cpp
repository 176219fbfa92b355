// The perturbed start.
#include "tools/replay/batch.h"

#include "sim/world.h"

namespace {

uint64_t SplitMix64(uint64_t& state) {
    uint64_t z = (state += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
}

} // namespace

void PerturbOffsets(uint64_t seed, double offsets[3]) {
    uint64_t state = seed;
    for (int i = 0; i < 3; ++i) {
        double unit = static_cast<double>(SplitMix64(state) >> 11) * 0x1.0p-53; // [0, 1)
        offsets[i] = (2.0 * unit - 1.0) * kPerturbMetres;
    }
}

void PerturbStart(uint64_t seed) {
    double d[3];
    PerturbOffsets(seed, d);
    auto move = [&](dBodyID body) {
        const dReal* p = dBodyGetPosition(body);
        dBodySetPosition(body, p[0] + d[0], p[1] + d[1], p[2] + d[2]);
    };
    for (dBodyID body : linkBodies)
        move(body);
    move(chassisBody);
}
