// A fixed set of worker threads that run queued tasks in the order they were submitted.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace tesk {

// Threading: Submit may be called from any thread, also from inside a task. Tasks must not
// throw (an escaping exception ends the process) and must not call back into an engine's
// caller: only the thread that made the engine call may do that.
class WorkerPool {
public:
    // threads == 0 picks DefaultThreadCount().
    explicit WorkerPool(unsigned threads = 0);
    // Runs every task still queued, then joins the threads. Tasks that should not run to the
    // end must watch a cancel flag of their own.
    ~WorkerPool();
    WorkerPool(const WorkerPool &) = delete;
    WorkerPool &operator=(const WorkerPool &) = delete;

    void Submit(std::function<void()> task);
    unsigned ThreadCount() const { return static_cast<unsigned>(threads_.size()); }

    // One thread per core the system reports, at least one.
    static unsigned DefaultThreadCount();

private:
    void Work();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> queue_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace tesk
