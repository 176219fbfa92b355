// The replay trace: one CSV row per tick with the machine's pose, velocity, crank angles and the
// control inputs, taken after the tick's physics step.
#pragma once

#include <sys/types.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

constexpr int kTraceValueCount = 23;
extern const char* const kTraceColumns[kTraceValueCount + 1]; // "tick" first
extern const char kTraceHeader[];                             // the columns joined, no newline

// The walk's measures, columns a trace takes after the usual ones when asked for: the crank
// motors' positive work since the start (J), the machine's weight (N), then for each leg, in the
// crank columns' order, whether its foot is in stance (1 or 0) and its foot point in the
// chassis frame: along the chassis (m) and height (m, up positive).
constexpr int kMeasureLegs = 8;
constexpr int kMeasureValueCount = 2 + 3 * kMeasureLegs;
extern const char kMeasuresHeader[]; // ",work,weight,stance00,...", to follow kTraceHeader

// Indices into TraceRow::measures; a leg's column is its crank column's offset, e·4 + j.
enum MeasureColumn {
    kWork = 0,
    kWeight = 1,
    kStance = 2,
    kFootAlong = kStance + kMeasureLegs,
    kFootHeight = kFootAlong + kMeasureLegs
};

struct TraceRow {
    long tick = 0;
    // x y z, vx vy vz, qw qx qy qz, crank00 crank10 crank20 crank30 crank01 crank11 crank21
    // crank31, crankSpeed, friction, flank0, flank1, viewMode
    double values[kTraceValueCount] = {};
    bool measured = false; // the row carries the measures' columns
    double measures[kMeasureValueCount] = {};
};

// Column indices into TraceRow::values.
enum TraceColumn {
    kX = 0,
    kY,
    kZ,
    kVx,
    kVy,
    kVz,
    kQw,
    kQx,
    kQy,
    kQz,
    kCrank00,
    kCrank10,
    kCrank20,
    kCrank30,
    kCrank01,
    kCrank11,
    kCrank21,
    kCrank31,
    kCrankSpeed,
    kFriction,
    kFlank0,
    kFlank1,
    kViewMode
};

// Appends one row and its newline. The number format does not depend on the locale and keeps
// nine significant digits, so equal states give equal bytes.
void FormatTraceRow(const TraceRow& row, std::string& out);

// Reads a whole trace back; the header must be exactly kTraceHeader, alone or followed by
// kMeasuresHeader, and every row must have the header's fields. Error: "trace:LINE: ...".
bool ParseTrace(std::string_view text, std::vector<TraceRow>& rows, std::string& error);

// Writes rows as they come, each row in one write of its own (no buffer to lose when the
// process is killed). The first failed write (a full disk) ends the writing and cuts the file
// back to its last whole row; Close reports it, with the system's reason and the rows kept.
class TraceWriter {
  public:
    TraceWriter() = default;
    TraceWriter(const TraceWriter&) = delete;
    TraceWriter& operator=(const TraceWriter&) = delete;
    ~TraceWriter();
    // Creates or empties `path`, a regular file or none yet. `byStep`: the first column counts
    // physics steps and is named "step" (the time control's rows, one per step at any rate);
    // otherwise ticks, under the usual header. `measured`: the header names the measures'
    // columns too, which every row written then carries.
    bool Open(const char* path, std::string& error, bool byStep = false, bool measured = false);
    // Takes over a descriptor open for writing on an empty file and writes the header.
    void Adopt(int fd, const char* path, bool byStep = false, bool measured = false);
    void Write(const TraceRow& row);
    bool Close(std::string& error);
    bool IsOpen() const { return fd_ >= 0; }
    // Whether a write has failed; nothing more is written then.
    bool Failed() const { return failed_; }
    // Rows written whole so far, the header not counted.
    long rows() const { return rows_; }

  private:
    bool WriteLine();
    int fd_ = -1;
    long rows_ = 0;
    off_t wholeBytes_ = 0; // the file's length up to the end of its last whole line
    std::string path_;
    std::string line_;
    bool failed_ = false;
    std::string reason_;
};
