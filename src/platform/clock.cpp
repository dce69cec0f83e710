#include "platform/clock.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <time.h>
#endif

namespace tarnvel::platform {

#ifdef _WIN32
int64_t monotonicMs() { return static_cast<int64_t>(GetTickCount64()); }
#else
int64_t monotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}
#endif

}  // namespace tarnvel::platform
