// What the hiscore server's handlers share: the store, the checker, the limits and their state, and
// the client's address and read rate that every route asks for.
#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>

#include "server/BrowserGame.h"
#include "server/Budget.h"
#include "server/Http.h"
#include "server/Limits.h"
#include "server/ListCache.h"
#include "server/RankIndex.h"
#include "server/RateLimit.h"
#include "server/ScoreStore.h"
#include "server/Verifier.h"
#include "server/VerifyPool.h"

namespace blubbi::hiscore {

struct TServiceContext {
    TScoreStore& Store;
    TScoreVerifier* Verifier;
    TLimits Limits;
    TRateLimit Rate;
    TVerifyPool Pool;
    TListCache Lists;
    TRankIndex Ranks;
    TBudget Memory;
    TRateLimit Reads;
    // Replays by the hash of their bytes, as this server entered or recognised them: a resend of the
    // same bytes is answered without a check.
    std::mutex SeenLock;
    std::unordered_map<std::string, int64_t> SeenIds;
    // Pictures: the entries whose drawing is queued or running, and the one thread that draws. Set
    // as the server stops, Stopping cuts a drawing short.
    std::atomic<bool> Stopping{false};
    std::mutex DrawingLock;
    std::set<int64_t> Drawing;
    TVerifyPool Drawer;
    // What /metrics counts: requests by route and status, checks by verdict and their time, errors
    // of the database.
    std::mutex CountsLock;
    std::map<std::pair<std::string, int>, uint64_t> Requests;
    std::map<std::string, uint64_t> Checks;
    double CheckSeconds = 0;
    uint64_t DbErrors = 0;
    uint64_t RefusedConnections = 0;
    TWebFiles Web;

    TServiceContext(TScoreStore& store, TScoreVerifier* verifier, const TLimits& limits)
        : Store(store),
          Verifier(verifier),
          Limits(limits),
          Rate(limits.SubmissionsPerMinute, limits.SubmissionBurst),
          Pool(limits.VerifyThreads, limits.VerifyQueue),
          Lists(limits.ListCacheTime),
          Ranks(limits.ListCacheTime),
          Memory(limits.SubmissionMemory),
          Reads(limits.ReadsPerMinute, limits.ReadBurst),
          Drawer(1, limits.PictureQueue),
          Web(TWebFiles::Load(limits.WebDir)) {}
    ~TServiceContext() { Stopping = true; }  // before the drawing thread is joined

    // The lists changed here: answers reused so far and the places are made anew.
    void Changed() {
        Lists.Invalidate();
        Ranks.Invalidate();
    }

    // Draws the entry's last frame later, once: the picture, or an empty one for a drawing that
    // failed, so that it is not tried again for each view.
    void DrawLater(int64_t id, const std::string& client);

    // A stored replay as text: kept packed, it is unpacked (within the bound of any submission).
    static std::optional<std::string> Unpacked(std::optional<std::string> stored);

    void Seen(const std::string& bytesHash, int64_t id);
    std::optional<int64_t> SeenBefore(const std::string& bytesHash);

    template <class F>
    std::string Cached(const std::string& key, F&& make) {
        return Lists.Get(key, std::forward<F>(make));
    }
};

// The client's address: the connection's, or, behind the proxy the operator named, the last one
// that proxy put into X-Forwarded-For (those before it the client may have written itself).
std::string ClientAddress(const TServiceContext& c, const THttpRequest& req);

// A reading route within its address's rate: many clients may read, none may read without end.
THttpHandler Limited(TServiceContext& c, THttpHandler handler);

}  // namespace blubbi::hiscore
