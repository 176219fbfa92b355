// The replay's progress bar.
#include "tools/replay/progress.h"

#include <algorithm>
#include <cstdio>

#include <platform/i18n/i18n.h>

namespace {
constexpr int kBarWidth = 40;
}

std::string ProgressBar::Line(long done, long total) {
    done = std::clamp(done, 0L, std::max(total, 0L));
    const long filled = total > 0 ? done * kBarWidth / total : kBarWidth;
    const long percent = total > 0 ? done * 100 / total : 100;
    return "koltrep-replay: [" + std::string(filled, '#') + std::string(kBarWidth - filled, '.') +
           "] " + FormatText(_("%3ld%% %ld/%ld ticks"), percent, done, total);
}

void ProgressBar::Start(long total, bool terminal) {
    total_ = total;
    enabled_ = terminal && total > 0;
    lastPermille_ = -1; // the first tick draws it: the start-up may still be logging
}

void ProgressBar::Update(long done) {
    if (!enabled_) return;
    // Redrawn at most a thousand times a run: the terminal must not slow the replay down.
    const long permille = std::clamp(done, 0L, total_) * 1000 / total_;
    if (permille == lastPermille_) return;
    lastPermille_ = permille;
    std::fprintf(stderr, "\r%s", Line(done, total_).c_str());
    std::fflush(stderr);
    shown_ = true;
}

void ProgressBar::Clear() {
    if (!shown_) return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    shown_ = false;
}
