#include "platform/clock.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <time.h>
#endif

namespace tarnvel::platform {

#ifdef _WIN32
// GetTickCount64 advances in steps of about 15.6 ms, too coarse for short
// searches' time and speed figures; the performance counter ticks far finer.
// Whole seconds and the remainder are converted apart so that counter × 1000
// cannot overflow however long the machine has been up.
int64_t monotonicMs() {
    static const int64_t ticksPerSecond = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return static_cast<int64_t>(frequency.QuadPart);
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    const int64_t ticks = counter.QuadPart;
    return ticks / ticksPerSecond * 1000 + ticks % ticksPerSecond * 1000 / ticksPerSecond;
}
#else
int64_t monotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}
#endif

}  // namespace tarnvel::platform
