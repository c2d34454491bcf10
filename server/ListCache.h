// The hiscore server's cache of finished list answers, shared by its requests.
#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <shared_mutex>
#include <string>
#include <unordered_map>

namespace blubbi::hiscore {

// Finished list answers, reused until they are older than the cache time or a score was added here.
// When one has aged, a single request makes it anew while the others still get the old one, so
// that the clients of a busy server do not all query the database in the same moment.
class TListCache {
public:
    struct TItem {
        std::string Body;
        std::chrono::steady_clock::time_point Made;
        uint64_t Generation = 0;
        std::atomic<bool> Renewing{false};
    };

    explicit TListCache(std::chrono::milliseconds time) : Time(time) {}

    template <class F>
    std::string Get(const std::string& key, F&& make) {
        if (Time.count() <= 0) return make();
        const uint64_t generation = Current;
        std::shared_ptr<TItem> item;
        {
            std::shared_lock lock(Mutex);
            const auto it = Items.find(key);
            if (it != Items.end() && it->second->Generation == generation) item = it->second;
        }
        if (item) {
            const bool aged = std::chrono::steady_clock::now() - item->Made > Time;
            if (!aged || item->Renewing.exchange(true)) return item->Body;
        }
        auto fresh = std::make_shared<TItem>();
        try {
            fresh->Body = make();
        } catch (...) {
            if (item) item->Renewing = false;
            throw;
        }
        fresh->Made = std::chrono::steady_clock::now();
        // Made from the state before any score added meanwhile: kept under the older generation,
        // so that such a score is not hidden.
        fresh->Generation = generation;
        std::unique_lock lock(Mutex);
        if (Items.size() >= 1000) Items.clear();  // many different pages asked for: start again
        Items[key] = fresh;
        return fresh->Body;
    }
    void Invalidate() { ++Current; }

private:
    std::chrono::milliseconds Time;
    std::atomic<uint64_t> Current{0};
    std::shared_mutex Mutex;
    std::unordered_map<std::string, std::shared_ptr<TItem>> Items;
};

}  // namespace blubbi::hiscore
