// A budget of bytes shared by every request in flight: what would pass it waits briefly for what the
// others give back, or is turned away.
#pragma once
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>

namespace blubbi::hiscore {

class TBudget {
public:
    explicit TBudget(size_t limit) : Limit(limit) {}

    // Bytes taken from the budget, given back when the last copy of it goes.
    class THold {
    public:
        THold(TBudget& budget, size_t bytes) : Budget(budget), Bytes(bytes) {}
        ~THold() { Budget.Give(Bytes); }
        THold(const THold&) = delete;
        THold& operator=(const THold&) = delete;
        // Keeps only `bytes` of what was taken (never more).
        void Keep(size_t bytes) {
            if (bytes >= Bytes) return;
            Budget.Give(Bytes - bytes);
            Bytes = bytes;
        }

    private:
        TBudget& Budget;
        size_t Bytes;
    };

    // Takes `bytes`, waiting up to `wait` for them; null when they do not come in time (or never can).
    std::shared_ptr<THold> Take(size_t bytes, std::chrono::milliseconds wait) {
        std::unique_lock lock(Mutex);
        if (bytes > Limit) return nullptr;
        if (!Freed.wait_for(lock, wait, [&] { return Used + bytes <= Limit; })) return nullptr;
        Used += bytes;
        return std::make_shared<THold>(*this, bytes);
    }
    size_t InUse() {
        std::lock_guard lock(Mutex);
        return Used;
    }
    size_t Capacity() const { return Limit; }

private:
    void Give(size_t bytes) {
        {
            std::lock_guard lock(Mutex);
            Used -= bytes;
        }
        Freed.notify_all();
    }

    const size_t Limit;
    size_t Used = 0;
    std::mutex Mutex;
    std::condition_variable Freed;
};

}  // namespace blubbi::hiscore
