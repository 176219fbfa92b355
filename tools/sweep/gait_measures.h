// What a sweep measures of one run, from its replay trace.
#pragma once

#include <string>
#include <vector>

#include "records/trace.h"

constexpr double kStepSeconds = 0.07; // simulated time per tick

struct GaitMeasures {
    double speed = 0.0;        // units per simulated second over the ground, after settling
    double headingDrift = 0.0; // degrees turned after settling, counter-clockwise seen from above
    long tipTick = -1;         // first tick with the chassis tilted beyond 90 degrees; -1: never
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
// the measures with nine significant digits; no tip-over leaves the last field empty.
std::string FormatSweepRow(float crankSpeed, float friction, const GaitMeasures& measures);
