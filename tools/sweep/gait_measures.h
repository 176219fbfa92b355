// What a sweep measures of one run, from its replay trace.
#pragma once

#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "records/trace.h"

constexpr double kStepSeconds = 0.07; // simulated time per tick

// The engineer's measures of a walk, each leg's averaged over the legs that have it. A stance
// is a run of ticks with the foot down that starts and ends inside the measured ticks.
struct WalkMeasures {
    // The foot's travel along the chassis during a stance (the farthest apart two of its points
    // are along the chassis), averaged over the stances: m.
    double strideLength = NAN;
    // The foot's height on the chassis from its lowest to its highest during a stance: m.
    double footHeightVariation = NAN;
    // The share of the measured ticks a foot is down.
    double dutyFactor = NAN;
    // The crank motors' positive work over the measured ticks divided by the machine's weight
    // and the distance the chassis travelled: dimensionless.
    double costOfTransport = NAN;
};

// The walk's measures over rows[settle..]; all NaN when the rows carry no measures' columns.
WalkMeasures MeasureWalk(const std::vector<TraceRow>& rows, long settleTicks);

struct GaitMeasures {
    double speed = 0.0;        // units per simulated second over the ground, after settling
    double headingDrift = 0.0; // degrees turned after settling, counter-clockwise seen from above
    long tipTick = -1;         // first tick with the chassis tilted beyond 90 degrees; -1: never
    // From the trace's measures' columns, after settling; NaN where the trace has none or the
    // run gives nothing to measure (no whole stance, no distance travelled).
    WalkMeasures walk;
};

// The chassis's up direction is its body -y axis (the legs hang along +y); its heading is the
// direction of its body x axis, the long side, seen from above.
double UpZ(const TraceRow& row);
double HeadingRadians(const TraceRow& row);

// False with a reason when the trace does not reach past the settling tick.
bool MeasureGait(const std::vector<TraceRow>& rows, long settleTicks, GaitMeasures& measures,
                 std::string& error);

extern const char kSweepCsvHeader[];
// One CSV line with its newline: the cell's control inputs as the run used them (floats) and
// the measures with nine significant digits; no tip-over, and a walk measure the run has none
// of, leave their fields empty.
std::string FormatSweepRow(float crankSpeed, float friction, const GaitMeasures& measures);

// The walk measures' fields, each with its leading comma; and read back from fields, empty for
// NaN. False when a field is neither empty nor a number.
void AppendWalkFields(std::string& line, const WalkMeasures& walk);
bool ReadWalkFields(const std::string_view* fields, WalkMeasures& walk);
constexpr int kWalkFieldCount = 4;
