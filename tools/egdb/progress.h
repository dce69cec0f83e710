// The builder's progress line: the step, the share of all the work done
// (work is counted in positions), positions per second and the time left.
// Rewritten in place on a terminal, printed as plain lines (at most one
// every few seconds) otherwise.
#pragma once

#include <cstdint>
#include <string>

namespace tarnvel::egdbtool {

// Starts the clock; totalWork is the sum of the work of all steps.
void progressStart(uint64_t totalWork);

// A new step with its label and its share of the total work.
void progressStep(const std::string& label, uint64_t work);

// Work found done already (a resumed build): it counts towards the
// percentage, not towards the rate.
void progressSkip(uint64_t work);

// How much of the current step is done (0 … 1).
void progressShare(double share);

// Ends the progress line.
void progressFinish();

// Seconds since progressStart.
double progressElapsed();

}  // namespace tarnvel::egdbtool
