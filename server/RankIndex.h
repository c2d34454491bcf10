// The hiscore server's index of places: what every list page takes its places and total from.
#pragma once
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "server/ScoreStore.h"

namespace blubbi::hiscore {

// The points of every ranked entry, best first, and the number of entries: enough to give any page
// its places and the list its total without counting in the database for each request. Made anew
// when a score is added here, or when older than the list cache's time (scores of other servers).
class TRankIndex {
public:
    explicit TRankIndex(std::chrono::milliseconds time) : Time(time) {}
    void Invalidate() { Stale = true; }

    // Fills in the places of a page of the list (equal points share one).
    void Rank(TScoreStore& store, std::vector<TScoreEntry>& page) {
        const auto now = Now(store);
        // A place is one more than the ranked entries with more points: those lie before the first
        // with these points or fewer.
        for (auto& e : page)
            if (e.Ranked)
                e.Rank = 1 + (std::lower_bound(now->Points.begin(), now->Points.end(), e.Points, std::greater<>()) -
                              now->Points.begin());
    }
    int64_t Total(TScoreStore& store) { return Now(store)->Count; }

private:
    struct TSnapshot {
        std::vector<int32_t> Points;
        int64_t Count = 0;
        std::chrono::steady_clock::time_point Made;
    };

    // The index as it stands; one caller renews an old one while the others go on with it.
    std::shared_ptr<const TSnapshot> Now(TScoreStore& store) {
        std::shared_ptr<const TSnapshot> snapshot;
        {
            std::lock_guard lock(Mutex);
            snapshot = Current;
        }
        const bool old = !snapshot || Stale || std::chrono::steady_clock::now() - snapshot->Made > Time;
        if (!old || (snapshot && Renewing.exchange(true))) return snapshot;
        Stale = false;  // a score added from here on makes the next one old again
        auto fresh = std::make_shared<TSnapshot>();
        try {
            fresh->Points = store.RankedPoints();
            fresh->Count = store.Count();
        } catch (...) {
            Renewing = false;
            throw;
        }
        fresh->Made = std::chrono::steady_clock::now();
        {
            std::lock_guard lock(Mutex);
            Current = fresh;
        }
        Renewing = false;
        return fresh;
    }

    std::chrono::milliseconds Time;
    std::atomic<bool> Stale{true}, Renewing{false};
    std::mutex Mutex;
    std::shared_ptr<const TSnapshot> Current;
};

}  // namespace blubbi::hiscore
