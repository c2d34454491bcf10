// Database connections kept for reuse by a store: one per concurrent caller, opened when none is idle.
#pragma once
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace blubbi::hiscore {

template <class TConnection>
class TConnectionPool {
public:
    using TOpen = std::function<std::unique_ptr<TConnection>()>;
    using TReusable = std::function<bool(TConnection&)>;

    // open makes a new connection (or throws); reusable says whether one may serve the next caller.
    TConnectionPool(TOpen open, TReusable reusable) : Open(std::move(open)), Reusable(std::move(reusable)) {}

    // Keeps a connection for the next caller.
    void Give(std::unique_ptr<TConnection> c) {
        std::lock_guard lock(Mutex);
        Idle.push_back(std::move(c));
    }

    // An idle connection or a new one, for one caller while it lives; handed back afterwards unless an
    // error has left it unfit.
    class TLease {
    public:
        explicit TLease(TConnectionPool& pool) : Pool(pool) {
            {
                std::lock_guard lock(pool.Mutex);
                if (!pool.Idle.empty()) {
                    Conn = std::move(pool.Idle.back());
                    pool.Idle.pop_back();
                }
            }
            if (!Conn) Conn = pool.Open();
        }
        ~TLease() {
            if (Pool.Reusable(*Conn)) Pool.Give(std::move(Conn));
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
    TOpen Open;
    TReusable Reusable;
    std::mutex Mutex;
    std::vector<std::unique_ptr<TConnection>> Idle;
};

}  // namespace blubbi::hiscore
