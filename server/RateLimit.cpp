// The per-address token buckets.
#include "server/RateLimit.h"

#include <algorithm>
#include <cmath>

namespace blubbi::hiscore {

bool TRateLimit::Take(const std::string& address, TClock::time_point now, int& secondsToWait) {
    secondsToWait = 0;
    if (PerMinute <= 0) return true;
    std::lock_guard lock(Mutex);
    const auto refill = [&](TBucket& b) {
        const double minutes = std::chrono::duration<double, std::ratio<60>>(now - b.Last).count();
        b.Tokens = std::min(Burst, b.Tokens + std::max(0.0, minutes) * PerMinute);
        b.Last = std::max(b.Last, now);
    };
    // Forget full buckets now and then, so that many addresses cannot fill the memory.
    if (Buckets.size() > 100000) {
        std::erase_if(Buckets, [&](const auto& item) {
            TBucket b = item.second;
            refill(b);
            return b.Tokens >= Burst;
        });
    }
    auto [it, fresh] = Buckets.try_emplace(address, TBucket{Burst, now});
    auto& b = it->second;
    if (!fresh) refill(b);
    if (b.Tokens >= 1) {
        b.Tokens -= 1;
        return true;
    }
    secondsToWait = std::max(1, static_cast<int>(std::ceil((1 - b.Tokens) * 60 / PerMinute - 1e-6)));
    return false;
}

}  // namespace blubbi::hiscore
