// Walking speed, heading drift and tip-over of one run, from its trace rows.
#include "tools/sweep/gait_measures.h"

#include <charconv>
#include <cmath>

const char kSweepCsvHeader[] = "crank_speed,friction,speed,heading_drift,tip_tick";

double UpZ(const TraceRow& row) {
    const double* v = row.values;
    double w = v[kQw], x = v[kQx], y = v[kQy], z = v[kQz];
    return -2.0 * (y * z + w * x);
}

double HeadingRadians(const TraceRow& row) {
    const double* v = row.values;
    double w = v[kQw], x = v[kQx], y = v[kQy], z = v[kQz];
    return std::atan2(2.0 * (x * y + w * z), 1.0 - 2.0 * (y * y + z * z));
}

bool MeasureGait(const std::vector<TraceRow>& rows, long settleTicks, GaitMeasures& measures,
                 std::string& error) {
    measures = GaitMeasures{};
    if (settleTicks < 0 || rows.size() <= static_cast<size_t>(settleTicks) + 1) {
        error = "the run has " + std::to_string(rows.size()) +
                " ticks, not more than the settling time of " + std::to_string(settleTicks) +
                " + 1";
        return false;
    }
    for (const TraceRow& row : rows) {
        if (UpZ(row) < 0.0) {
            measures.tipTick = row.tick;
            break;
        }
    }
    const TraceRow& first = rows[settleTicks];
    const TraceRow& last = rows.back();
    double seconds = static_cast<double>(last.tick - first.tick) * kStepSeconds;
    measures.speed =
        std::hypot(last.values[kX] - first.values[kX], last.values[kY] - first.values[kY]) /
        seconds;
    // Summed tick by tick, so turns of more than half a circle count in full.
    double turned = 0.0;
    for (size_t i = settleTicks + 1; i < rows.size(); ++i) {
        double step = HeadingRadians(rows[i]) - HeadingRadians(rows[i - 1]);
        turned += std::remainder(step, 2.0 * M_PI);
    }
    measures.headingDrift = turned * 180.0 / M_PI;
    return true;
}

namespace {

void AppendNumber(std::string& out, double value) {
    char buffer[64];
    auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 9);
    out.append(buffer, result.ptr);
}

} // namespace

std::string FormatSweepRow(float crankSpeed, float friction, const GaitMeasures& measures) {
    std::string line;
    AppendNumber(line, crankSpeed);
    line += ',';
    AppendNumber(line, friction);
    line += ',';
    AppendNumber(line, measures.speed);
    line += ',';
    AppendNumber(line, measures.headingDrift);
    line += ',';
    if (measures.tipTick >= 0) line += std::to_string(measures.tipTick);
    line += '\n';
    return line;
}
