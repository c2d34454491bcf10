// Replays are checked on threads of their own, never on the HTTP threads, each within a deadline.
#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace blubbi::hiscore {

class TVerifyPool {
public:
    TVerifyPool(int workers, size_t queueLimit);
    ~TVerifyPool();
    TVerifyPool(const TVerifyPool&) = delete;
    // Queues a job that nobody waits for; false when the queue is full.
    bool Post(std::function<void()> job) { return Push(std::move(job)); }
    // Jobs waiting for a thread now.
    size_t Waiting() {
        std::lock_guard lock(Mutex);
        return Queue.size();
    }
    TVerifyPool& operator=(const TVerifyPool&) = delete;

    enum class TOutcome { Done, Busy, TimedOut };

    // Runs job(cancel) on a worker and waits for it at most until deadline. On TimedOut the
    // job's cancel flag is set and the job is left to finish on its own; on Busy (the queue is
    // full) it never runs.
    template <class T>
    TOutcome Run(std::function<T(const std::atomic<bool>&)> job, std::chrono::steady_clock::time_point deadline,
                 T& result) {
        auto task = std::make_shared<TTask<T>>();
        task->Job = std::move(job);
        if (!Push([task] { task->Execute(); })) return TOutcome::Busy;
        std::unique_lock lock(task->Mutex);
        if (!task->Finished.wait_until(lock, deadline, [&] { return task->Result.has_value(); })) {
            task->Cancel = true;
            return TOutcome::TimedOut;
        }
        result = std::move(*task->Result);
        return TOutcome::Done;
    }

private:
    template <class T>
    struct TTask {
        std::function<T(const std::atomic<bool>&)> Job;
        std::atomic<bool> Cancel{false};
        std::mutex Mutex;
        std::condition_variable Finished;
        std::optional<T> Result;
        // A job that throws counts as one that produced T{}.
        void Execute() {
            T r{};
            try {
                if (!Cancel) r = Job(Cancel);
            } catch (...) {}
            std::lock_guard lock(Mutex);
            Result = std::move(r);
            Finished.notify_all();
        }
    };

    bool Push(std::function<void()> work);
    void Work();

    size_t QueueLimit;
    std::mutex Mutex;
    std::condition_variable Wake;
    std::deque<std::function<void()>> Queue;
    bool Stopping = false;
    std::vector<std::thread> Threads;
};

}  // namespace blubbi::hiscore
