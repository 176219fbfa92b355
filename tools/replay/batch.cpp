// The cells file and the perturbed start.
#include "tools/replay/batch.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>

#include "sim/world.h"

namespace {

uint64_t SplitMix64(uint64_t& state) {
    uint64_t z = (state += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
}

bool NextWord(const std::string& line, size_t& at, std::string& word) {
    size_t start = line.find_first_not_of(" \t", at);
    if (start == std::string::npos) return false;
    size_t end = line.find_first_of(" \t", start);
    if (end == std::string::npos) end = line.size();
    word = line.substr(start, end - start);
    at = end;
    return true;
}

template <typename Number> bool Whole(const std::string& text, Number& value) {
    auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && status == std::errc() && end == text.data() + text.size();
}

} // namespace

bool LoadBatchCells(const std::string& path, std::vector<BatchCell>& cells, std::string& error) {
    cells.clear();
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t at = 0;
        std::string crank, friction, perturb;
        if (!NextWord(line, at, crank) || crank[0] == '#') continue;
        BatchCell cell;
        double crankValue = 0, frictionValue = 0;
        bool ok = NextWord(line, at, friction) && NextWord(line, at, perturb) &&
                  Whole(crank, crankValue) && Whole(friction, frictionValue) &&
                  crankValue >= -100 && crankValue <= 100 && frictionValue >= 0 &&
                  frictionValue <= 1e9 && (perturb == "-" || Whole(perturb, cell.perturbSeed));
        size_t traceStart = ok ? line.find_first_not_of(" \t", at) : std::string::npos;
        if (!ok || traceStart == std::string::npos) {
            error = path + ":" + std::to_string(number) +
                    ": not 'CRANK_SPEED FRICTION PERTURB TRACE' (crank speed from -100 to 100, "
                    "friction from 0 to 1e9, PERTURB a seed or -)";
            return false;
        }
        cell.crankSpeed = static_cast<float>(crankValue);
        cell.friction = static_cast<float>(frictionValue);
        cell.perturb = perturb != "-";
        cell.trace = line.substr(traceStart);
        cells.push_back(cell);
    }
    if (cells.empty()) {
        error = path + ": no cells";
        return false;
    }
    return true;
}

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
