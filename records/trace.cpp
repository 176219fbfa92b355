// Trace rows: written as CSV, read back for comparisons.
#include "records/trace.h"
#include "records/text_lines.h"

#include <cerrno>
#include <charconv>
#include <cstring>

#include <unistd.h>

#include <platform/i18n/i18n.h>
#include <platform/win32/output_files.h>

const char* const kTraceColumns[kTraceValueCount + 1] = {
    "tick",    "x",       "y",       "z",          "vx",       "vy",      "vz",      "qw",
    "qx",      "qy",      "qz",      "crank00",    "crank10",  "crank20", "crank30", "crank01",
    "crank11", "crank21", "crank31", "crankSpeed", "friction", "flank0",  "flank1",  "viewMode"};

const char kTraceHeader[] =
    "tick,x,y,z,vx,vy,vz,qw,qx,qy,qz,crank00,crank10,crank20,crank30,crank01,crank11,crank21,"
    "crank31,crankSpeed,friction,flank0,flank1,viewMode";

const char kMeasuresHeader[] =
    ",work,weight,stance00,stance10,stance20,stance30,stance01,stance11,stance21,stance31,"
    "footAlong00,footAlong10,footAlong20,footAlong30,footAlong01,footAlong11,footAlong21,"
    "footAlong31,footHeight00,footHeight10,footHeight20,footHeight30,footHeight01,footHeight11,"
    "footHeight21,footHeight31";

namespace {

void AppendValues(const double* values, int count, std::string& out) {
    char buffer[64];
    for (int i = 0; i < count; ++i) {
        out += ',';
        // to_chars is locale-independent; 9 significant digits in the shortest of fixed or
        // exponent notation. Negative zero prints as "-0", which is a real state difference.
        auto result =
            std::to_chars(buffer, buffer + sizeof buffer, values[i], std::chars_format::general, 9);
        out.append(buffer, result.ptr);
    }
}

// The name of field `i` after the tick, for the messages.
std::string FieldName(int i) {
    if (i < kTraceValueCount) return kTraceColumns[i + 1];
    return FormatText(_("measure %d"), i - kTraceValueCount + 1);
}

} // namespace

void FormatTraceRow(const TraceRow& row, std::string& out) {
    char buffer[64];
    auto tickEnd = std::to_chars(buffer, buffer + sizeof buffer, row.tick).ptr;
    out.append(buffer, tickEnd);
    AppendValues(row.values, kTraceValueCount, out);
    if (row.measured) AppendValues(row.measures, kMeasureValueCount, out);
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
    bool measured = false;
    while (lines.Next(line)) {
        const int lineNumber = lines.number();
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (lineNumber == 1) {
            measured = line == std::string(kTraceHeader) + kMeasuresHeader;
            if (line != kTraceHeader && !measured)
                return fail(1, _("header is not the trace header"));
            continue;
        }
        if (line.empty()) continue;
        TraceRow row;
        const char* p = line.data();
        const char* last = line.data() + line.size();
        auto tickResult = std::from_chars(p, last, row.tick);
        if (tickResult.ec != std::errc()) return fail(lineNumber, _("tick is not a number"));
        p = tickResult.ptr;
        row.measured = measured;
        const int fields = kTraceValueCount + (measured ? kMeasureValueCount : 0);
        for (int i = 0; i < fields; ++i) {
            if (p == last || *p != ',')
                return fail(lineNumber, FormatText(_("expected %d fields"), fields + 1));
            ++p;
            double& value =
                i < kTraceValueCount ? row.values[i] : row.measures[i - kTraceValueCount];
            auto result = std::from_chars(p, last, value);
            if (result.ec != std::errc())
                return fail(lineNumber,
                            FormatText(_("field %s is not a number"), FieldName(i).c_str()));
            p = result.ptr;
        }
        if (p != last) return fail(lineNumber, _("trailing text after the last field"));
        rows.push_back(row);
    }
    if (lines.number() == 0) return fail(1, _("empty trace"));
    return true;
}

TraceWriter::~TraceWriter() {
    std::string ignored;
    Close(ignored);
}

bool TraceWriter::Open(const char* path, std::string& error, bool byStep, bool measured) {
    std::vector<int> fds;
    if (!platform::OpenOutputFiles({path}, fds, error)) return false;
    Adopt(fds[0], path, byStep, measured);
    return true;
}

void TraceWriter::Adopt(int fd, const char* path, bool byStep, bool measured) {
    std::string ignored;
    Close(ignored);
    fd_ = fd;
    path_ = path;
    failed_ = false;
    reason_.clear();
    rows_ = 0;
    wholeBytes_ = 0;
    // Both headers differ only in the first column's name.
    line_.assign(byStep ? "step" : "tick");
    line_ += kTraceHeader + 4;
    if (measured) line_ += kMeasuresHeader;
    line_ += '\n';
    WriteLine();
}

// One write per row: a process killed between ticks leaves whole rows only. A write cut short
// by a full disk leaves part of a row, which is cut off again, so the file ends on a whole row.
bool TraceWriter::WriteLine() {
    const char* at = line_.data();
    size_t left = line_.size();
    while (left > 0 && !failed_) {
        const ssize_t done = ::write(fd_, at, left);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) {
            failed_ = true;
            reason_ = done < 0 ? std::strerror(errno) : _("nothing written");
            if (ftruncate(fd_, wholeBytes_) != 0)
                reason_ += std::string("; ") + std::strerror(errno);
            return false;
        }
        at += done;
        left -= size_t(done);
    }
    if (failed_) return false;
    wholeBytes_ += off_t(line_.size());
    return true;
}

void TraceWriter::Write(const TraceRow& row) {
    if (fd_ < 0 || failed_) return;
    line_.clear();
    FormatTraceRow(row, line_);
    if (WriteLine()) ++rows_;
}

bool TraceWriter::Close(std::string& error) {
    if (fd_ < 0) return true;
    bool ok = !failed_;
    if (::close(fd_) != 0 && ok) {
        ok = false;
        reason_ = std::strerror(errno);
    }
    fd_ = -1;
    if (!ok)
        error = FormatText(_("cannot write the trace %s: %s; it keeps the %ld rows written before"),
                           path_.c_str(), reason_.c_str(), rows_);
    return ok;
}
