// The replay's progress on stderr, as a bar that redraws itself in place. Drawn only when stderr
// is a terminal: in a pipe, a log or a test nothing is written.
#pragma once

#include <string>

class ProgressBar {
  public:
    // `total` ticks make the whole bar; `terminal` says whether stderr is a terminal.
    void Start(long total, bool terminal);
    // Redraws after `done` ticks when what the bar shows has changed.
    void Update(long done);
    // Takes the bar off the line, so that what is written next starts on a clean line.
    void Clear();

    // The line as drawn after `done` of `total` ticks, without the carriage return.
    static std::string Line(long done, long total);

  private:
    long total_ = 0;
    bool shown_ = false;
    bool enabled_ = false;
    long lastPermille_ = -1;
};
