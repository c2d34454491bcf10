// Database connections kept for reuse by a store: at most a set number open at once, callers beyond
// it wait their turn, and one left idle for a while is closed.
#pragma once
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <utility>
#include <vector>

namespace blubbi::hiscore {

template <class TConnection>
class TConnectionPool {
public:
    using TOpen = std::function<std::unique_ptr<TConnection>()>;
    using TReusable = std::function<bool(TConnection&)>;
    using TClock = std::chrono::steady_clock;

    // open makes a new connection (or throws); reusable says whether one may serve the next caller;
    // at most `most` are open at once; one idle for longer than `idleTime` is closed.
    TConnectionPool(TOpen open, TReusable reusable, int most = 16,
                    std::chrono::milliseconds idleTime = std::chrono::seconds(60))
        : Open(std::move(open)), Reusable(std::move(reusable)), Most(most < 1 ? 1 : most), IdleTime(idleTime) {}

    // Keeps a connection made outside a lease (the first one, which set the database up) for the next caller.
    void Give(std::unique_ptr<TConnection> c) {
        std::lock_guard lock(Mutex);
        ++Opened;
        Idle.push_back({std::move(c), TClock::now()});
        Turn.notify_one();
    }

    int OpenCount() {
        std::lock_guard lock(Mutex);
        return Opened;
    }

    // An idle connection or a new one, for one caller while it lives; handed back afterwards unless an
    // error has left it unfit.
    class TLease {
    public:
        explicit TLease(TConnectionPool& pool) : Pool(pool) {
            {
                std::unique_lock lock(pool.Mutex);
                pool.CloseIdle(TClock::now());
                // A database that holds every connection for long is as good as unreachable: the caller
                // hears so rather than waiting without end.
                if (!pool.Turn.wait_for(lock, pool.LeaseWait,
                                        [&] { return !pool.Idle.empty() || pool.Opened < pool.Most; }))
                    throw std::runtime_error("no database connection came free in time");
                if (!pool.Idle.empty()) {
                    Conn = std::move(pool.Idle.back().Conn);
                    pool.Idle.pop_back();
                    return;
                }
                ++pool.Opened;  // its place is taken while it is being opened
            }
            try {
                Conn = pool.Open();
            } catch (...) {
                pool.Closed();
                throw;
            }
        }
        ~TLease() {
            if (!Pool.Reusable(*Conn)) {
                Conn.reset();
                Pool.Closed();
                return;
            }
            std::lock_guard lock(Pool.Mutex);
            Pool.Idle.push_back({std::move(Conn), TClock::now()});
            Pool.Turn.notify_one();
        }
        TLease(const TLease&) = delete;
        TLease& operator=(const TLease&) = delete;
        TConnection& operator*() const { return *Conn; }
        TConnection* operator->() const { return Conn.get(); }

    private:
        TConnectionPool& Pool;
        std::unique_ptr<TConnection> Conn;
    };

private:
    struct TIdle {
        std::unique_ptr<TConnection> Conn;
        TClock::time_point Since;
    };

    void Closed() {
        std::lock_guard lock(Mutex);
        --Opened;
        Turn.notify_one();
    }

    // The longest idle ones lie first; one is always kept, so a quiet server answers at once.
    void CloseIdle(TClock::time_point now) {
        size_t stale = 0;
        while (stale + 1 < Idle.size() && now - Idle[stale].Since > IdleTime) ++stale;
        Idle.erase(Idle.begin(), Idle.begin() + static_cast<std::ptrdiff_t>(stale));
        Opened -= static_cast<int>(stale);
    }

    TOpen Open;
    TReusable Reusable;
    int Most;
    std::chrono::milliseconds IdleTime;
    std::chrono::milliseconds LeaseWait{10000};
    std::mutex Mutex;
    std::condition_variable Turn;
    int Opened = 0;
    std::vector<TIdle> Idle;  // the most recently used last
};

}  // namespace blubbi::hiscore
