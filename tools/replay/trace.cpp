// Trace rows: taken from the simulation's process-wide state, written as CSV, read back for
// comparisons.
#include "tools/replay/trace.h"
#include "tools/replay/text_lines.h"

#include <cerrno>
#include <charconv>
#include <cstring>

#include "sim/controls.h"
#include "sim/physics_step.h"
#include "sim/world.h"

const char* const kTraceColumns[kTraceValueCount + 1] = {
    "tick",    "x",       "y",       "z",          "vx",       "vy",      "vz",      "qw",
    "qx",      "qy",      "qz",      "crank00",    "crank10",  "crank20", "crank30", "crank01",
    "crank11", "crank21", "crank31", "crankSpeed", "friction", "flank0",  "flank1",  "viewMode"};

const char kTraceHeader[] =
    "tick,x,y,z,vx,vy,vz,qw,qx,qy,qz,crank00,crank10,crank20,crank30,crank01,crank11,crank21,"
    "crank31,crankSpeed,friction,flank0,flank1,viewMode";

TraceRow CaptureTraceRow(long tick) {
    TraceRow row;
    row.tick = tick;
    double* v = row.values;
    if (chassisBody) {
        const dReal* p = dBodyGetPosition(chassisBody);
        const dReal* vel = dBodyGetLinearVel(chassisBody);
        const dReal* q = dBodyGetQuaternion(chassisBody);
        for (int i = 0; i < 3; ++i) {
            v[kX + i] = p[i];
            v[kVx + i] = vel[i];
        }
        for (int i = 0; i < 4; ++i)
            v[kQw + i] = q[i]; // ODE keeps w first
    }
    int column = kCrank00;
    for (int e = 0; e < 2; ++e)
        for (int j = 0; j < 4; ++j) {
            dJointID hinge = hinges[HingeIndex(0, j, e)];
            v[column++] = hinge ? dJointGetHingeAngle(hinge) : 0.0;
        }
    v[kCrankSpeed] = crankSpeed;
    v[kFriction] = frictionCoefficient;
    v[kFlank0] = flankCommand[0];
    v[kFlank1] = flankCommand[1];
    v[kViewMode] = viewMode;
    return row;
}

void FormatTraceRow(const TraceRow& row, std::string& out) {
    char buffer[64];
    auto tickEnd = std::to_chars(buffer, buffer + sizeof buffer, row.tick).ptr;
    out.append(buffer, tickEnd);
    for (double value : row.values) {
        out += ',';
        // to_chars is locale-independent; 9 significant digits in the shortest of fixed or
        // exponent notation. Negative zero prints as "-0", which is a real state difference.
        auto result =
            std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 9);
        out.append(buffer, result.ptr);
    }
    out += '\n';
}

bool ParseTrace(std::string_view text, std::vector<TraceRow>& rows, std::string& error) {
    rows.clear();
    auto fail = [&](int line, const std::string& reason) {
        error = "trace:" + std::to_string(line) + ": " + reason;
        rows.clear();
        return false;
    };
    TextLines lines(text);
    std::string_view line;
    while (lines.Next(line)) {
        const int lineNumber = lines.number();
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (lineNumber == 1) {
            if (line != kTraceHeader) return fail(1, "header is not the trace header");
            continue;
        }
        if (line.empty()) continue;
        TraceRow row;
        const char* p = line.data();
        const char* last = line.data() + line.size();
        auto tickResult = std::from_chars(p, last, row.tick);
        if (tickResult.ec != std::errc()) return fail(lineNumber, "tick is not a number");
        p = tickResult.ptr;
        for (int i = 0; i < kTraceValueCount; ++i) {
            if (p == last || *p != ',')
                return fail(lineNumber,
                            "expected " + std::to_string(kTraceValueCount + 1) + " fields");
            ++p;
            auto result = std::from_chars(p, last, row.values[i]);
            if (result.ec != std::errc())
                return fail(lineNumber,
                            std::string("field ") + kTraceColumns[i + 1] + " is not a number");
            p = result.ptr;
        }
        if (p != last) return fail(lineNumber, "trailing text after the last field");
        rows.push_back(row);
    }
    if (lines.number() == 0) return fail(1, "empty trace");
    return true;
}

TraceWriter::~TraceWriter() {
    std::string ignored;
    Close(ignored);
}

bool TraceWriter::Open(const char* path, std::string& error, bool byStep) {
    file_ = std::fopen(path, "wb");
    if (!file_) {
        error = std::string("cannot create trace ") + path + ": " + std::strerror(errno);
        return false;
    }
    path_ = path;
    // Both headers differ only in the first column's name.
    failed_ = byStep ? std::fprintf(file_, "step%s\n", kTraceHeader + 4) < 0
                     : std::fprintf(file_, "%s\n", kTraceHeader) < 0;
    return true;
}

void TraceWriter::Write(const TraceRow& row) {
    if (!file_) return;
    line_.clear();
    FormatTraceRow(row, line_);
    if (std::fwrite(line_.data(), 1, line_.size(), file_) != line_.size()) failed_ = true;
}

bool TraceWriter::Close(std::string& error) {
    if (!file_) return true;
    bool ok = !failed_ && std::fflush(file_) == 0;
    if (std::fclose(file_) != 0) ok = false;
    file_ = nullptr;
    if (!ok) error = "writing the trace " + path_ + " failed (disk full?)";
    return ok;
}
