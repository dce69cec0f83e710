// Running one job on several threads: job(t) for t = 0 … threads − 1,
// job(0) on the calling thread; returns when all are done.
#pragma once

#include <cstdint>
#include <thread>
#include <vector>

namespace tarnvel::egdbtool {

template <typename Job>
void onThreads(int threads, Job job) {
    std::vector<std::thread> others;
    for (int t = 1; t < threads; ++t) others.emplace_back(job, t);
    job(0);
    for (std::thread& t : others) t.join();
}

// The part [begin, end) of 0 … total that thread t of `threads` takes.
inline uint64_t shareBegin(uint64_t total, int t, int threads) { return total * t / threads; }

}  // namespace tarnvel::egdbtool
