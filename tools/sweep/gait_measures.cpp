// Walking speed, heading drift and tip-over of one run, from its trace rows.
#include "tools/sweep/gait_measures.h"

#include <charconv>
#include <cmath>

#include <platform/i18n/i18n.h>

const char kSweepCsvHeader[] = "crank_speed,friction,speed,heading_drift,tip_tick,stride_length,"
                               "foot_height_variation,duty_factor,cost_of_transport";

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
        error = FormatText(_("the run has %zu ticks, not more than the settling time of %ld + 1"),
                           rows.size(), settleTicks);
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
    measures.walk = MeasureWalk(rows, settleTicks);
    return true;
}

namespace {

struct LegTally {
    double strides = 0.0, heights = 0.0;
    int stances = 0;
    long down = 0;
};

// Walks one leg's stances over rows[first..]: a stance still running at either end of the
// measured ticks is left out, since part of it is not seen.
LegTally TallyLeg(const std::vector<TraceRow>& rows, size_t first, int leg) {
    LegTally tally;
    double lowAlong = 0, highAlong = 0, lowHeight = 0, highHeight = 0;
    bool inStance = false, whole = false;
    for (size_t i = first; i < rows.size(); ++i) {
        const double* m = rows[i].measures;
        const bool down = m[kStance + leg] > 0.5;
        const double along = m[kFootAlong + leg], height = m[kFootHeight + leg];
        if (down) ++tally.down;
        if (down && !inStance) {
            whole = i > first; // a foot down at the first measured tick began unseen
            lowAlong = highAlong = along;
            lowHeight = highHeight = height;
        } else if (down) {
            lowAlong = std::fmin(lowAlong, along);
            highAlong = std::fmax(highAlong, along);
            lowHeight = std::fmin(lowHeight, height);
            highHeight = std::fmax(highHeight, height);
        } else if (inStance && whole) {
            tally.strides += highAlong - lowAlong;
            tally.heights += highHeight - lowHeight;
            ++tally.stances;
        }
        inStance = down;
    }
    return tally;
}

} // namespace

WalkMeasures MeasureWalk(const std::vector<TraceRow>& rows, long settleTicks) {
    WalkMeasures walk;
    const size_t first = static_cast<size_t>(settleTicks);
    if (settleTicks < 0 || rows.size() <= first + 1 || !rows[first].measured) return walk;
    double strides = 0, heights = 0, duty = 0;
    int legsWithStances = 0;
    for (int leg = 0; leg < kMeasureLegs; ++leg) {
        LegTally tally = TallyLeg(rows, first, leg);
        duty += static_cast<double>(tally.down) / static_cast<double>(rows.size() - first);
        if (tally.stances == 0) continue;
        strides += tally.strides / tally.stances;
        heights += tally.heights / tally.stances;
        ++legsWithStances;
    }
    walk.dutyFactor = duty / kMeasureLegs;
    if (legsWithStances > 0) {
        walk.strideLength = strides / legsWithStances;
        walk.footHeightVariation = heights / legsWithStances;
    }
    const TraceRow& start = rows[first];
    const TraceRow& end = rows.back();
    const double distance =
        std::hypot(end.values[kX] - start.values[kX], end.values[kY] - start.values[kY]);
    const double work = end.measures[kWork] - start.measures[kWork];
    const double weight = end.measures[kWeight];
    if (distance > 0 && weight > 0) walk.costOfTransport = work / (weight * distance);
    return walk;
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
    AppendWalkFields(line, measures.walk);
    line += '\n';
    return line;
}

void AppendWalkFields(std::string& line, const WalkMeasures& walk) {
    for (double value :
         {walk.strideLength, walk.footHeightVariation, walk.dutyFactor, walk.costOfTransport}) {
        line += ',';
        if (!std::isnan(value)) AppendNumber(line, value);
    }
}

bool ReadWalkFields(const std::string_view* fields, WalkMeasures& walk) {
    double* values[kWalkFieldCount] = {&walk.strideLength, &walk.footHeightVariation,
                                       &walk.dutyFactor, &walk.costOfTransport};
    for (int i = 0; i < kWalkFieldCount; ++i) {
        std::string_view text = fields[i];
        *values[i] = NAN;
        if (text.empty()) continue;
        auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), *values[i]);
        if (status != std::errc() || end != text.data() + text.size() || !std::isfinite(*values[i]))
            return false;
    }
    return true;
}
