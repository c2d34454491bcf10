// The checking threads and their bounded queue.
#include "server/VerifyPool.h"

namespace blubbi::hiscore {

TVerifyPool::TVerifyPool(int workers, size_t queueLimit) : QueueLimit(queueLimit) {
    for (int i = 0; i < std::max(1, workers); ++i) Threads.emplace_back([this] { Work(); });
}

TVerifyPool::~TVerifyPool() {
    {
        std::lock_guard lock(Mutex);
        Stopping = true;
    }
    Wake.notify_all();
    for (auto& t : Threads) t.join();
}

bool TVerifyPool::Push(std::function<void()> work) {
    {
        std::lock_guard lock(Mutex);
        if (Queue.size() >= QueueLimit) return false;
        Queue.push_back(std::move(work));
    }
    Wake.notify_one();
    return true;
}

void TVerifyPool::Work() {
    for (;;) {
        std::function<void()> work;
        {
            std::unique_lock lock(Mutex);
            Wake.wait(lock, [&] { return Stopping || !Queue.empty(); });
            if (Queue.empty()) return;
            work = std::move(Queue.front());
            Queue.pop_front();
        }
        work();
    }
}

}  // namespace blubbi::hiscore
