// Many runs in one replay process (--cells) and the perturbed starts of a sweep's repeats
// (--perturb). Between two cells the world is rebuilt the way the reset key rebuilds it, which
// repeats the ticks after start-up byte for byte, so a cell of a batch gives the trace a replay
// of it alone gives.
#pragma once

#include <cstdint>

#include "records/batch_cells.h"

// How far the perturbed start moves the machine along x, y and z, at most: half a millimetre
// (the physics units are metres), against a chassis 16 long.
constexpr double kPerturbMetres = 0.0005;

// The start's offsets for `seed`: splitmix64 draws, each uniform in
// [-kPerturbMetres, kPerturbMetres].
void PerturbOffsets(uint64_t seed, double offsets[3]);

// Moves every body of the machine by the offsets of `seed`; right after the world is built.
void PerturbStart(uint64_t seed);
