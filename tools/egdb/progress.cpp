#include "progress.h"

#include <chrono>
#include <cstdio>

#ifdef _WIN32
#include <io.h>
#define TARNVEL_ISATTY(f) _isatty(_fileno(f))
#else
#include <unistd.h>
#define TARNVEL_ISATTY(f) isatty(fileno(f))
#endif

namespace tarnvel::egdbtool {

namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point started;
Clock::time_point lastShown;
bool onTerminal = false;
uint64_t totalWork = 1;
uint64_t workBefore = 0;  // work of the finished steps
uint64_t stepWork = 0;
std::string stepLabel;
bool lineOpen = false;

// A terminal line is redrawn at most this often; plain lines are rarer.
constexpr double TERMINAL_INTERVAL = 0.2;
constexpr double PLAIN_INTERVAL = 10.0;

void show(double share, bool force) {
    const Clock::time_point now = Clock::now();
    const double sinceShown = std::chrono::duration<double>(now - lastShown).count();
    if (!force && sinceShown < (onTerminal ? TERMINAL_INTERVAL : PLAIN_INTERVAL)) return;
    lastShown = now;
    const double percent = 100.0 * (workBefore + share * stepWork) / totalWork;
    const int seconds = static_cast<int>(progressElapsed());
    std::printf("%s%-24s %5.1f%%  %d:%02d", onTerminal ? "\r" : "", stepLabel.c_str(), percent,
                seconds / 60, seconds % 60);
    if (onTerminal) {
        lineOpen = true;
    } else {
        std::printf("\n");
    }
    std::fflush(stdout);
}

}  // namespace

void progressStart(uint64_t work) {
    started = lastShown = Clock::now();
    onTerminal = TARNVEL_ISATTY(stdout);
    totalWork = work ? work : 1;
    workBefore = stepWork = 0;
    stepLabel.clear();
}

void progressStep(const std::string& label, uint64_t work) {
    workBefore += stepWork;
    stepWork = work;
    const bool newLabel = label != stepLabel;
    stepLabel = label;
    show(0, newLabel);
}

void progressShare(double share) { show(share, false); }

void progressFinish() {
    workBefore += stepWork;
    stepWork = 0;
    if (lineOpen) std::printf("\n");
    lineOpen = false;
    std::fflush(stdout);
}

double progressElapsed() { return std::chrono::duration<double>(Clock::now() - started).count(); }

}  // namespace tarnvel::egdbtool
