#include "worker_pool.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tarnvel::cli {

namespace {

// A frame: its kind, the payload's size (8 bytes), the payload.
enum Frame : char { HELLO = 'H', FAILED = 'F', PROGRESS = 'P', RESULT = 'R' };
constexpr size_t FRAME_HEADER = 1 + sizeof(uint64_t);
constexpr uint64_t MAX_FRAME = uint64_t{1} << 30;

bool writeWhole(int fd, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = write(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool readWhole(int fd, void* data, size_t size) {
    char* p = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t n = read(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// To a worker that may have died: EPIPE then, not the SIGPIPE that would
// end the parent.
bool writeToWorker(int fd, const void* data, size_t size) {
    sigset_t pipeSignal, before;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &before);
    const bool ok = writeWhole(fd, data, size);
    if (!ok && errno == EPIPE) {
        const timespec now{0, 0};
        sigtimedwait(&pipeSignal, nullptr, &now);
    }
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    return ok;
}

void sendFrame(int fd, Frame kind, std::string_view payload) {
    std::string frame(1, kind);
    const uint64_t size = payload.size();
    frame.append(reinterpret_cast<const char*>(&size), sizeof size);
    frame += payload;
    // The parent is gone: there is no one left to work for.
    if (!writeWhole(fd, frame.data(), frame.size())) _exit(EXIT_FAILURE);
}

[[noreturn]] void workerMain(int in, int out, const WorkerJob& job, pid_t parent) {
    // A killed match takes its workers with it.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(EXIT_FAILURE);
    std::string text;
    if (!job.start(text)) {
        sendFrame(out, FAILED, text);
        _exit(EXIT_FAILURE);
    }
    sendFrame(out, HELLO, text);
    int64_t task = 0;
    while (readWhole(in, &task, sizeof task)) {
        const std::string result = job.run(static_cast<long>(task), [&](const std::string& step) {
            sendFrame(out, PROGRESS, step);
        });
        sendFrame(out, RESULT, result);
    }
    // No exit handlers: the buffered output and open files are the parent's.
    _exit(0);
}

std::string describeStatus(int status) {
    if (WIFSIGNALED(status))
        return "was killed by signal " + std::to_string(WTERMSIG(status)) + " (" +
               strsignal(WTERMSIG(status)) + ")";
    if (WIFEXITED(status)) return "exited with status " + std::to_string(WEXITSTATUS(status));
    return "ended";
}

void closeFd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

std::string seconds(std::chrono::duration<double> d) {
    char text[32];
    std::snprintf(text, sizeof text, "%g s", d.count());
    return text;
}

}  // namespace

WorkerPool::WorkerPool(WorkerJob job, double stallSeconds)
    : job_(std::move(job)), stall_(stallSeconds) {}

WorkerPool::~WorkerPool() {
    for (Worker& w : workers_)
        if (!w.done) reap(w, true);
}

bool WorkerPool::spawn() {
    int down[2], up[2];
    if (pipe2(down, O_CLOEXEC) != 0) {
        error_ = std::string("cannot make a pipe: ") + std::strerror(errno);
        return false;
    }
    if (pipe2(up, O_CLOEXEC) != 0) {
        error_ = std::string("cannot make a pipe: ") + std::strerror(errno);
        close(down[0]);
        close(down[1]);
        return false;
    }
    std::fflush(nullptr);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        close(down[1]);
        close(up[0]);
        // Other workers' pipes stay with the parent, so that each sees its own end.
        for (Worker& w : workers_) {
            closeFd(w.to);
            closeFd(w.from);
        }
        workerMain(down[0], up[1], job_, parent);
    }
    const int forkError = errno;
    close(down[0]);
    close(up[1]);
    if (pid < 0) {
        close(down[1]);
        close(up[0]);
        error_ = std::string("cannot start a worker process: ") + std::strerror(forkError);
        return false;
    }
    Worker w;
    w.pid = pid;
    w.to = down[1];
    w.from = up[0];
    w.step = "its start";
    w.since = Clock::now();
    workers_.push_back(std::move(w));
    return true;
}

std::string WorkerPool::reap(Worker& w, bool kill) {
    if (kill) ::kill(w.pid, SIGKILL);
    closeFd(w.to);
    closeFd(w.from);
    int status = 0;
    while (waitpid(w.pid, &status, 0) < 0 && errno == EINTR) {
    }
    w.done = true;
    return describeStatus(status);
}

void WorkerPool::stop() {
    stopped_ = true;
    for (Worker& w : workers_)
        if (!w.done) reap(w, true);
}

void WorkerPool::assign(Worker& w) {
    if (!tasks_) return;  // still starting
    if (stopped_ || next_ == tasks_->size()) {
        closeFd(w.to);  // it ends when it reads the end
        return;
    }
    const int64_t task = (*tasks_)[next_++];
    w.task = static_cast<long>(task);
    w.step = "the start of its game";
    w.since = Clock::now();
    // A worker that died meanwhile is reported when its pipe closes.
    writeToWorker(w.to, &task, sizeof task);
}

void WorkerPool::ended(Worker& w, const std::string& how) {
    if (w.task >= 0) {
        const long task = w.task;
        w.task = -1;
        if (!events_->lost(task, "its worker " + how)) stop();
    } else if (!w.ready && error_.empty()) {
        error_ = "a worker process " + how;
    }
}

void WorkerPool::frame(Worker& w, char kind, std::string_view payload) {
    switch (kind) {
        case HELLO:
            w.ready = true;
            if (hello_.empty()) hello_ = payload;
            assign(w);
            return;
        case FAILED:
            error_ = payload;
            return;
        case PROGRESS:
            w.step = payload;
            w.since = Clock::now();
            return;
        case RESULT:
            if (w.task >= 0) {
                const long task = w.task;
                w.task = -1;
                if (!events_->finished(task, payload)) return stop();
                assign(w);
                return;
            }
            break;
    }
    reap(w, true);
    ended(w, "sent a message it should not have and was stopped");
}

void WorkerPool::receive(Worker& w) {
    char buffer[1 << 16];
    const ssize_t n = read(w.from, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) return;
    if (n <= 0) {
        const std::string step = w.step;
        ended(w, reap(w, false) + " during " + step);
        return;
    }
    w.received.append(buffer, static_cast<size_t>(n));
    while (!w.done && !stopped_ && error_.empty() && w.received.size() >= FRAME_HEADER) {
        uint64_t size = 0;
        std::memcpy(&size, w.received.data() + 1, sizeof size);
        if (size > MAX_FRAME) {
            reap(w, true);
            return ended(w, "sent a message it should not have and was stopped");
        }
        if (w.received.size() - FRAME_HEADER < size) break;
        const std::string payload = w.received.substr(FRAME_HEADER, size);
        const char kind = w.received[0];
        w.received.erase(0, FRAME_HEADER + size);
        frame(w, kind, payload);
    }
}

int WorkerPool::pollTimeoutMs(Clock::time_point now) const {
    double soonest = -1;
    for (const Worker& w : workers_) {
        if (w.done || (w.ready && w.task < 0)) continue;
        const double left =
            std::chrono::duration<double, std::milli>(w.since + stall_ - now).count();
        soonest = soonest < 0 ? std::max(0.0, left) : std::min(soonest, std::max(0.0, left));
    }
    return soonest < 0 ? -1 : static_cast<int>(std::ceil(std::min(soonest, 1e9)));
}

void WorkerPool::pollOnce() {
    std::vector<pollfd> fds;
    for (const Worker& w : workers_) fds.push_back({w.from, POLLIN, 0});
    const int n = poll(fds.data(), fds.size(), pollTimeoutMs(Clock::now()));
    if (n < 0 && errno != EINTR) {
        error_ = std::string("cannot wait for the workers: ") + std::strerror(errno);
        return stop();
    }
    for (size_t i = 0; i < workers_.size() && error_.empty(); ++i) {
        Worker& w = workers_[i];
        if (!w.done && n > 0 && fds[i].revents) receive(w);
        const bool busy = w.task >= 0 || !w.ready;
        if (!w.done && busy && Clock::now() - w.since > stall_) {
            const std::string step = w.step;
            reap(w, true);
            ended(w, "gave no answer within " + seconds(stall_) + " during " + step +
                         " and was stopped");
        }
    }
    std::erase_if(workers_, [](const Worker& w) { return w.done; });
}

bool WorkerPool::start(std::string& hello, std::string& error) {
    if (spawn())
        while (error_.empty() && !workers_.empty() && !workers_.front().ready) pollOnce();
    if (error_.empty() && workers_.empty()) error_ = "a worker process ended while starting";
    error = error_;
    hello = hello_;
    return error.empty();
}

bool WorkerPool::run(const std::vector<long>& tasks, int workers, const PoolEvents& events,
                     std::string& error) {
    tasks_ = &tasks;
    events_ = &events;
    next_ = 0;
    for (Worker& w : workers_)
        if (w.ready && w.task < 0) assign(w);
    while (error_.empty() && !stopped_) {
        // As many workers as there are tasks for, up to `workers`.
        const auto starting = std::count_if(workers_.begin(), workers_.end(),
                                            [](const Worker& w) { return !w.ready; });
        if (workers_.size() < static_cast<size_t>(workers) &&
            tasks.size() - next_ > static_cast<size_t>(starting) && !spawn())
            break;
        if (workers_.empty()) break;
        pollOnce();
    }
    if (!error_.empty()) stop();
    error = error_;
    return error.empty() && !stopped_;
}

}  // namespace tarnvel::cli
