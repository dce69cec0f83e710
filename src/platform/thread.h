// Threads for Tarnvel 2's helper searches: CreateThread on Windows (the
// 32-bit toolchain's C++ library has no std::thread), pthreads elsewhere.
#pragma once

namespace tarnvel::platform {

class Thread {
public:
    using Entry = void (*)(void* argument);

    Thread() = default;
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;
    ~Thread() { join(); }

    // Runs entry(argument) on a new thread; false when none can be had
    // (the caller then does the work itself or goes without).
    bool start(Entry entry, void* argument);
    // Waits for a started thread to end; nothing for one not started.
    void join();

    // The new thread's body (called by the system's thread entry).
    void run();

private:
    void* handle_ = nullptr;
    Entry entry_ = nullptr;
    void* argument_ = nullptr;
};

}  // namespace tarnvel::platform
