// Tasks done by worker processes made with fork, so that each worker has
// its own copy of everything it loads (engines keep global state) and a
// worker that crashes or hangs takes nothing else with it. Results stream
// back to this process through pipes, in the order they finish.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnvel::cli {

// What a worker runs, in its own process.
struct WorkerJob {
    // First, once: true with a text for the parent (its hello), or false
    // with the reason the worker cannot work.
    std::function<bool(std::string& text)> start;
    // One task; `progress` names each step that might never end ("A's move
    // as Black at ply 12"), and restarts the clock of the stall limit.
    using Progress = std::function<void(const std::string& step)>;
    std::function<std::string(long task, const Progress& progress)> run;
};

struct PoolEvents {
    // A task's result; false stops the pool.
    std::function<bool(long task, std::string_view result)> finished;
    // A task lost with its worker (crashed, or stalled and stopped): why,
    // in words. False stops the pool; otherwise a new worker carries on.
    std::function<bool(long task, const std::string& why)> lost;
};

class WorkerPool {
public:
    // A step (or a worker's start) that takes longer than `stallSeconds`
    // is taken for a hang.
    WorkerPool(WorkerJob job, double stallSeconds);
    ~WorkerPool();  // stops and reaps the workers still running
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // Starts the first worker and waits for its hello. False with the reason.
    bool start(std::string& hello, std::string& error);

    // Hands out the tasks in order to up to `workers` processes (the first
    // one started above), then ends them. False with the reason when a
    // worker could not start; false with an empty reason when an event
    // stopped the pool.
    bool run(const std::vector<long>& tasks, int workers, const PoolEvents& events,
             std::string& error);

private:
    using Clock = std::chrono::steady_clock;
    struct Worker {
        pid_t pid = -1;
        int to = -1, from = -1;
        std::string received;  // bytes not yet a whole frame
        long task = -1;        // the task it is doing, -1 when idle
        bool ready = false;    // its hello came
        bool done = false;     // ended: to be reaped and removed
        std::string step;
        Clock::time_point since;
    };

    bool spawn();
    void pollOnce();
    void receive(Worker& w);
    void frame(Worker& w, char kind, std::string_view payload);
    void assign(Worker& w);
    void ended(Worker& w, const std::string& how);
    void stop();
    std::string reap(Worker& w, bool kill);
    int pollTimeoutMs(Clock::time_point now) const;

    WorkerJob job_;
    std::chrono::duration<double> stall_;
    std::vector<Worker> workers_;
    std::string hello_;
    const std::vector<long>* tasks_ = nullptr;
    size_t next_ = 0;  // the next task to hand out
    const PoolEvents* events_ = nullptr;
    bool stopped_ = false;
    std::string error_;
};

}  // namespace tarnvel::cli
