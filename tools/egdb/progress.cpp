#include "progress.h"

#include <chrono>
#include <cstdio>
#include <string>

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
uint64_t workSkipped = 0;  // found done, not done by this run
std::string stepLabel;
bool lineOpen = false;

// A terminal line is redrawn at most this often; plain lines are rarer.
constexpr double TERMINAL_INTERVAL = 0.2;
constexpr double PLAIN_INTERVAL = 10.0;

std::string duration(double seconds) {
    const long s = static_cast<long>(seconds);
    char text[32];
    if (s >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    return text;
}

void show(double share, bool force) {
    const Clock::time_point now = Clock::now();
    const double sinceShown = std::chrono::duration<double>(now - lastShown).count();
    if (!force && sinceShown < (onTerminal ? TERMINAL_INTERVAL : PLAIN_INTERVAL)) return;
    lastShown = now;
    const double done = workBefore + share * stepWork;
    const double elapsed = progressElapsed();
    const double rate = elapsed > 0 ? (done - workSkipped) / elapsed : 0;
    const std::string left = rate > 0 ? duration((totalWork - done) / rate) + " left" : "";
    std::printf("%s%-24s %5.1f%%  %s  %.2f M positions/s  %-12s", onTerminal ? "\r" : "", stepLabel.c_str(),
                100.0 * done / totalWork, duration(elapsed).c_str(), rate / 1e6, left.c_str());
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
    workBefore = stepWork = workSkipped = 0;
    stepLabel.clear();
}

void progressStep(const std::string& label, uint64_t work) {
    workBefore += stepWork;
    stepWork = work;
    const bool newLabel = label != stepLabel;
    stepLabel = label;
    show(0, newLabel);
}

void progressSkip(uint64_t work) {
    workBefore += stepWork + work;
    workSkipped += work;
    stepWork = 0;
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
